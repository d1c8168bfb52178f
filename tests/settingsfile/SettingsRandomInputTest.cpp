// Twenty thousand random inputs with a fixed seed, plain bytes and damaged
// good files: nothing crashes, and every file is either accepted or named
// by one bad line.
#include "FuzzChecks.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

QStringList goodLines()
{
    QStringList lines;
    for (int k = 1; k <= 3; ++k)
        lines << qzr::settingsfile::encoderMarker(k) << "h264high" << "2048000" << "1920x1080" << "cbr" << "30" << "15";
    lines << "KameraSettings" << "2" << "mid" << "autoM" << "0" << "auto100" << "0" << "autoW" << "off" << "autoM"
          << "off" << "0.45" << "50" << "50" << "50";
    return lines;
}

QByteArray randomBytes(QRandomGenerator &rng, int maxSize)
{
    QByteArray bytes(int(rng.bounded(maxSize + 1)), '\0');
    for (char &c : bytes)
        c = char(rng.bounded(256));
    return bytes;
}

QByteArray damagedGoodFile(QRandomGenerator &rng, int &accepted)
{
    QStringList lines = goodLines();
    const int edits = int(rng.bounded(4));
    static const char kAlphabet[] = "&=?#\t\x7f\x01 aZ09-.\xe9";
    for (int e = 0; e < edits; ++e) {
        const int kind = int(rng.bounded(4));
        const int at = int(rng.bounded(int(lines.size()) + 1));
        if (kind == 0 && at < lines.size())
            lines.removeAt(at);
        else if (kind == 1)
            lines.insert(at, QStringLiteral("x"));
        else if (at < lines.size())
            lines[at].insert(int(rng.bounded(int(lines[at].size()) + 1)),
                             QChar(uchar(kAlphabet[rng.bounded(int(sizeof kAlphabet) - 1)])));
    }
    const char *ends[] = {"\r\n", "\n", "\r"};
    const QByteArray end = ends[rng.bounded(3)];
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += line.toLatin1() + end;
    if (!qzr::settingsfile::validateSettings(lines))
        ++accepted;
    return bytes;
}

} // namespace

class SettingsRandomInputTest : public QObject
{
    Q_OBJECT

private slots:
    void randomInputsAreAcceptedOrNamed();
};

void SettingsRandomInputTest::randomInputsAreAcceptedOrNamed()
{
    QRandomGenerator rng(20240611u);
    int accepted = 0;
    for (int i = 0; i < 20000; ++i) {
        const QByteArray bytes = (i % 2 == 0) ? randomBytes(rng, 600) : damagedGoodFile(rng, accepted);
        const QString settings = qzr::fuzzchecks::checkSettingsBytes(bytes);
        QVERIFY2(settings.isEmpty(), qPrintable(QStringLiteral("input %1: ").arg(i) + settings));
        const QString reply = qzr::fuzzchecks::checkReplyBytes(bytes);
        QVERIFY2(reply.isEmpty(), qPrintable(QStringLiteral("input %1: ").arg(i) + reply));
    }
    // The damaged files include untouched ones, so both outcomes were seen.
    QVERIFY(accepted > 0);
}

QTEST_GUILESS_MAIN(SettingsRandomInputTest)
#include "SettingsRandomInputTest.moc"
