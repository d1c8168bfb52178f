// The netrc reader of --netrc-file on its own: its words (quoted ones with
// their escapes), "default", "macdef", "account" and comments; the files it
// refuses, by line; which entry a camera of a host list gets, by the tool's
// address rule; the credentials a camera is given in the end.

#include "cli/CommandLine.h"
#include "cli/Netrc.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <QtTest>

using namespace qzr;
using namespace qzr::cli;

namespace {

// An entry as one line of text, for comparisons that show what differs.
QString shown(const NetrcEntry &entry)
{
    const auto field = [](const std::optional<QString> &value) {
        return value ? QStringLiteral("[%1]").arg(*value) : QStringLiteral("-");
    };
    return QStringLiteral("%1 %2 login %3 password %4")
        .arg(entry.line)
        .arg(entry.isDefault ? QStringLiteral("default") : QStringLiteral("machine [%1]").arg(entry.machine),
             field(entry.login), field(entry.password));
}

QStringList shown(const QList<NetrcEntry> &entries)
{
    QStringList lines;
    for (const NetrcEntry &entry : entries)
        lines << shown(entry);
    return lines;
}

QString refusal(const QByteArray &bytes)
{
    try {
        parseNetrc(bytes, QStringLiteral("site.netrc"));
    } catch (const NetrcError &error) {
        return error.text();
    }
    return QStringLiteral("(read)");
}

} // namespace

class NetrcTest : public QObject
{
    Q_OBJECT

private slots:
    void readsEntries()
    {
        const QByteArray text = "# cameras of the north gate\n"
                                "machine 10.0.0.1 login admin password plain#not-a-comment\n"
                                "machine cam-2.site\n"
                                "\tlogin \"gate keeper\" account ignored\n"
                                "\tpassword \"a \\\"quoted\\\" \\\\ word\\t\\x\"\n"
                                "macdef init\n"
                                "machine 10.0.0.9 login nobody password never\n"
                                "  \n"
                                "default login admin   # the others\n"
                                "machine ::1 password \"\"\n"
                                "machine 10.0.0.4 login only-login\r\n";
        QCOMPARE(shown(parseNetrc(text, QStringLiteral("site.netrc"))),
                 (QStringList{"2 machine [10.0.0.1] login [admin] password [plain#not-a-comment]",
                              "3 machine [cam-2.site] login [gate keeper] password [a \"quoted\" \\ word\tx]",
                              "9 default login [admin] password -",
                              "10 machine [::1] login - password []",
                              "11 machine [10.0.0.4] login [only-login] password -"}));
        // A macro up to the end of the file, and no file at all.
        QCOMPARE(shown(parseNetrc("default password x\nmacdef m\nmachine a password b\n", {})),
                 QStringList{"1 default login - password [x]"});
        QCOMPARE(shown(parseNetrc("  \n# nothing\n", {})), QStringList());
    }

    void refusesByLine_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("error");
        QTest::newRow("word too long")
            << ("machine a\nlogin admin\npassword \"" + QByteArray(1025, 'p') + "\"\n")
            << "site.netrc, line 3: a word longer than 1024 bytes";
        QTest::newRow("unclosed quote") << QByteArray("machine a\npassword \"open\nlogin x\n")
                                        << "site.netrc, line 2: a quoted word without its closing \"";
        QTest::newRow("escaped line end") << QByteArray("machine a password \"open\\\n\"\n")
                                          << "site.netrc, line 1: a quoted word without its closing \"";
        QTest::newRow("past the closing quote") << QByteArray("machine a password \"two\"words\n")
                                                << "site.netrc, line 1: a quoted word goes on past its closing quote";
        QTest::newRow("password outside an entry") << QByteArray("# first\npassword secret\n")
                                                   << "site.netrc, line 2: 'password' outside a 'machine' or "
                                                      "'default' entry";
        QTest::newRow("login after a macro") << QByteArray("machine a\nmacdef m\nrun\n\nlogin x\n")
                                             << "site.netrc, line 5: 'login' outside a 'machine' or 'default' entry";
        QTest::newRow("two passwords") << QByteArray("default password a\n password b\n")
                                       << "site.netrc, line 2: a second 'password' for one entry";
        QTest::newRow("machine without a name") << QByteArray("\n\nmachine")
                                                << "site.netrc, line 3: 'machine' without its word";
        QTest::newRow("NUL byte") << QByteArray("machine a\npassword x\0y\n", 23)
                                  << "site.netrc, line 2: a NUL byte; a netrc file is text";
        QTest::newRow("not UTF-8") << QByteArray("machine a\n\npassword \xff\xfe\n")
                                   << "site.netrc, line 3: a word that is not UTF-8 text";
        // The word is not named: it may be the rest of a password.
        QTest::newRow("no keyword") << QByteArray("machine a password open sesame\n")
                                    << "site.netrc, line 1: a word that is no netrc keyword (machine, default, login, "
                                       "password, account, macdef); a word with blanks needs quotes";
    }

    void refusesByLine()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, error);
        QCOMPARE(refusal(text), error);
    }

    // 64 KiB is read; a byte more is not; a folder and a missing file are
    // named with the system's reason.
    void readsBoundedFiles()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("site.netrc"));
        QByteArray bytes = "default password x\n";
        bytes.append(QByteArray(kMaxNetrcFileBytes - bytes.size() - 1, '#')).append('\n');
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), kMaxNetrcFileBytes);
        file.flush();
        QCOMPARE(shown(readNetrcFile(path)), QStringList{"1 default login - password [x]"});
        QCOMPARE(file.write("\n"), 1);
        file.close();
        try {
            readNetrcFile(path);
            QFAIL("a file of 64 KiB and one byte was read");
        } catch (const NetrcError &error) {
            QCOMPARE(error.text(), path + ", line 3: the file is larger than 64 KiB; not read");
        }
        for (const QString &other : {dir.path(), dir.filePath(QStringLiteral("none"))}) {
            try {
                readNetrcFile(other);
                QFAIL("read");
            } catch (const NetrcError &error) {
                QCOMPARE(error.text(), "cannot read " + other
                                           + (other == dir.path() ? ": Is a directory" : ": No such file or directory"));
            }
        }
    }

    // A camera gets the first machine entry of its address as the host list
    // writes it (no name looked up), else the first default.
    void choosesTheEntryOfAHost_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("password"); // "-": no entry
        QTest::newRow("address") << "10.0.0.1" << "first";
        QTest::newRow("name, other case") << "CAM-2.Site" << "cam";
        QTest::newRow("IPv6, other spelling") << "0:0:0:0:0:0:0:1" << "loopback6";
        QTest::newRow("IPv6 with zone") << "fe80::1%eth0" << "zoned";
        QTest::newRow("IPv6, other zone") << "fe80::1%eth1" << "default";
        QTest::newRow("a name is not its address") << "localhost" << "default";
        QTest::newRow("no entry") << "10.0.0.2" << "default";
        QTest::newRow("no address by the rule") << "10.0.0.010" << "default";
    }

    void choosesTheEntryOfAHost()
    {
        QFETCH(QString, host);
        QFETCH(QString, password);
        const QList<NetrcEntry> entries = parseNetrc("machine 127.0.0.1 password localhost-v4\n"
                                                     "machine 10.0.0.010 password octal\n"
                                                     "default password default\n"
                                                     "machine 10.0.0.1 password first\n"
                                                     "machine 10.0.0.1 password second\n"
                                                     "machine cam-2.site password cam\n"
                                                     "machine ::1 password loopback6\n"
                                                     "machine FE80::1%eth0 password zoned\n"
                                                     "default password later-default\n",
                                                     {});
        const NetrcEntry *entry = netrcEntryFor(entries, host);
        QVERIFY(entry);
        QCOMPARE(entry->password.value_or(QStringLiteral("-")), password);
        // Without a default, a camera of none of the machines has no entry.
        QList<NetrcEntry> machines;
        for (const NetrcEntry &candidate : entries) {
            if (!candidate.isDefault)
                machines << candidate;
        }
        QCOMPARE(netrcEntryFor(machines, host) == nullptr, password == QLatin1String("default"));
    }

    // What an entry lacks, and a camera without one, comes from the call.
    void credentialsOfACamera()
    {
        Invocation invocation;
        invocation.connection.user = QStringLiteral("site-user");
        invocation.connection.password = QStringLiteral("site-password");
        const auto credentials = [&](const QString &host) {
            const ConnectionFields fields = cameraCredentials(invocation, host);
            return fields.user + QLatin1Char(' ') + fields.password;
        };
        QCOMPARE(credentials("10.0.0.1"), QStringLiteral("site-user site-password"));
        invocation.netrc = parseNetrc("machine 10.0.0.1 password one\n"
                                      "machine 10.0.0.2 login two\n"
                                      "machine 10.0.0.3 login three password \"\"\n",
                                      {});
        QCOMPARE(credentials("10.0.0.1"), QStringLiteral("site-user one"));
        QCOMPARE(credentials("10.0.0.2"), QStringLiteral("two site-password"));
        QCOMPARE(credentials("10.0.0.3"), QStringLiteral("three "));
        QCOMPARE(credentials("10.0.0.4"), QStringLiteral("site-user site-password"));
        invocation.netrc << parseNetrc("default login admin password kqm\n", {});
        QCOMPARE(credentials("10.0.0.4"), QStringLiteral("admin kqm"));
        // The address the camera is reached at stays the one of its list.
        QCOMPARE(cameraCredentials(invocation, QStringLiteral("10.0.0.4")).address, invocation.connection.address);
    }
};

QTEST_GUILESS_MAIN(NetrcTest)
#include "NetrcTest.moc"
