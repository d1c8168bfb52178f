#!/bin/sh
# Runs a test in a network namespace of its own: loopback plus a veth pair
# (qzv0 10.9.0.1/24, qzv1 10.9.1.1/24), the cameras' factory address
# 192.168.0.57 on loopback, and nothing that reaches a real
# network, so that discovery on "every interface" sends nothing outside.
# Without the rights to make one (root), the test runs with
# QZR_NO_NAMESPACE set to the reason and skips what needs it.
if unshare -n true 2>/dev/null; then
    exec unshare -n sh -c '
        ip link set lo up && ip addr add 192.168.0.57/32 dev lo &&
        ip link add qzv0 type veth peer name qzv1 &&
        ip addr add 10.9.0.1/24 dev qzv0 && ip addr add 10.9.1.1/24 dev qzv1 &&
        ip link set qzv0 up && ip link set qzv1 up ||
        export QZR_NO_NAMESPACE="the private network could not be set up"
        exec "$@"' sh "$@"
fi
QZR_NO_NAMESPACE="no network namespace of its own can be made here (needs root)"
export QZR_NO_NAMESPACE
exec "$@"
