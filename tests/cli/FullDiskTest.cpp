// Full and read-only disks, on small file systems this test mounts itself
// (tmpfs in a mount namespace of its own, seen only by this process and the
// qzr it starts): no file is ever replaced by a partial or empty one, the
// failure names the file and the reason, a folder that takes no file is
// named before any camera is read, and a write that fails during a backup
// fails that camera and the run.

#include "QzrProcess.h"
#include "settingsfile/SafeFile.h"
#include "sim/SimThread.h"
#include "tests/support/CameraFleet.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <sched.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <vector>

using namespace qzr;
using qzr::clitest::finishedQzr;
using qzr::clitest::Outcome;
using qzr::clitest::runQzr;
using qzr::clitest::startQzr;
using qzr::sim::SimThread;
using qzr::testsupport::Fleet;
using qzr::testsupport::hostList;
using qzr::testsupport::readAll;
using qzr::testsupport::startedFleet;
using qzr::testsupport::writeBytes;

namespace {

// Why this process could not get mounts of its own; empty when it did.
QString g_noPrivateMounts;

// Enters a mount namespace of its own, before any thread is started.
void enterPrivateMounts()
{
    if (::unshare(CLONE_NEWNS) != 0) {
        g_noPrivateMounts = QStringLiteral("unshare(CLONE_NEWNS): %1").arg(settingsfile::systemErrorText(errno));
        return;
    }
    // Nothing mounted here reaches the rest of the machine.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        g_noPrivateMounts = QStringLiteral("making / private: %1").arg(settingsfile::systemErrorText(errno));
}

bool mountTmpfs(const QString &path, int kib)
{
    const QByteArray options = "size=" + QByteArray::number(kib) + "k,mode=0700";
    return ::mount("tmpfs", QFile::encodeName(path).constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData())
           == 0;
}

bool remountReadOnly(const QString &path)
{
    return ::mount(nullptr, QFile::encodeName(path).constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

// Fills the file system of `folder` to the last byte.
void fill(const QString &folder)
{
    std::FILE *file = std::fopen(QFile::encodeName(folder + "/filler").constData(), "wb");
    if (!file)
        return;
    static const char block[4096] = {};
    // Bounded by the file system's size, which is small.
    for (int k = 0; k < 100'000 && std::fwrite(block, 1, sizeof block, file) == sizeof block; ++k) {
    }
    std::fclose(file);
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

int requestCount(const Fleet &fleet)
{
    int count = 0;
    for (const auto &camera : fleet)
        count += int(camera->requests().size());
    return count;
}

} // namespace

class FullDiskTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QStringList m_mounts;
    // A new small file system at a new folder.
    QString mounted(const QString &name, int kib)
    {
        const QString path = m_dir.filePath(name);
        if (!QDir().mkpath(path) || !mountTmpfs(path, kib))
            return QString();
        m_mounts << path;
        return path;
    }

private slots:
    void initTestCase()
    {
        if (!g_noPrivateMounts.isEmpty())
            QSKIP(qPrintable("no mounts of this test's own: " + g_noPrivateMounts));
        QVERIFY(m_dir.isValid());
        const QString probe = mounted("probe", 64);
        if (probe.isEmpty())
            QSKIP("this user may not mount a tmpfs");
    }

    void cleanupTestCase()
    {
        for (const QString &path : m_mounts)
            ::umount2(QFile::encodeName(path).constData(), MNT_DETACH);
    }

    // A write that does not fit fails with the reason; the file that stood
    // there keeps its bytes and nothing else is left behind.
    void fullDiskKeepsTheEarlierFile()
    {
        const QString disk = mounted("small", 64);
        QVERIFY(!disk.isEmpty());
        const QString path = disk + "/camera.txt";
        QVERIFY(writeBytes(path, "encoder1\r\nthe earlier backup\r\n"));
        const QString error = settingsfile::writeFileAtomically(path, QByteArray(200 * 1024, 'x'));
        QCOMPARE(error, "Cannot write file " + path + ": No space left on device");
        QCOMPARE(readAll(path), QByteArray("encoder1\r\nthe earlier backup\r\n"));
        QCOMPARE(entriesOf(disk), QStringList{"camera.txt"});
    }

    // "qzr save FILE" and "save --hosts --dir" into a full or read-only
    // folder: one message naming the folder and the reason, exit status 1,
    // no camera read, every earlier file as it was.
    void folderThatTakesNoFileIsNamedFirst_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<bool>("backup");
        QTest::addColumn<QString>("reason");
        QTest::newRow("save, full") << false << false << "No space left on device";
        QTest::newRow("save, read-only") << true << false << "Read-only file system";
        QTest::newRow("backup, full") << false << true << "No space left on device";
        QTest::newRow("backup, read-only") << true << true << "Read-only file system";
    }

    void folderThatTakesNoFileIsNamedFirst()
    {
        QFETCH(bool, readOnly);
        QFETCH(bool, backup);
        QFETCH(QString, reason);
        const Fleet fleet = startedFleet(3);
        QCOMPARE(fleet.size(), size_t(3));
        const QString disk = mounted(QStringLiteral("first-%1-%2").arg(readOnly).arg(backup), 128);
        QVERIFY(!disk.isEmpty());
        // The earlier files: a backup of the three cameras, or one save.
        const QStringList arguments = backup ? QStringList{"save", "--hosts", hostList(fleet), "--dir", disk}
                                             : QStringList{"save", disk + "/camera.txt"};
        QCOMPARE(runQzr(arguments, fleet[0]->port()).exitCode, 0);
        QMap<QString, QByteArray> before;
        for (const QString &name : entriesOf(disk))
            before.insert(name, readAll(disk + '/' + name));
        QVERIFY(!before.isEmpty());
        if (readOnly)
            QVERIFY(remountReadOnly(disk));
        else
            fill(disk);
        for (const auto &camera : fleet)
            camera->clearRequests();

        const Outcome outcome = runQzr(arguments, fleet[0]->port());
        QCOMPARE(outcome.exitCode, 1);
        const QByteArray expected = backup ? "Cannot write to folder " + disk.toUtf8() + ": " + reason.toUtf8()
                                           : "Cannot create file " + disk.toUtf8() + "/camera.txt: "
                                                 + reason.toUtf8() + " (folder " + disk.toUtf8() + ")";
        // A text that ends in ")" takes no final period.
        QCOMPARE(outcome.err, expected + (backup ? ".\n" : "\n"));
        QCOMPARE(requestCount(fleet), 0);
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            QCOMPARE(readAll(disk + '/' + it.key()), it.value());
        QStringList left = entriesOf(disk);
        left.removeAll("filler");
        QCOMPARE(left, before.keys());
    }

    // The disk fills while a backup runs (the first camera hangs meanwhile):
    // each camera whose file cannot be written is "failed" with the file and
    // the reason and keeps its earlier file byte for byte; the index that
    // cannot be written is named; exit status 1; no partial file is left.
    void diskFillsDuringABackup()
    {
        const Fleet fleet = startedFleet(4);
        QCOMPARE(fleet.size(), size_t(4));
        const QString disk = mounted("filling", 128);
        QVERIFY(!disk.isEmpty());
        QCOMPARE(runQzr({"save", "--hosts", hostList(fleet), "--dir", disk}, fleet[0]->port()).exitCode, 0);
        QMap<QString, QByteArray> before;
        for (const QString &name : entriesOf(disk))
            before.insert(name, readAll(disk + '/' + name));
        for (const auto &camera : fleet)
            camera->setValue("encode(1).framerate", "5");
        fleet[0]->setFault(sim::FaultMode::Hang, 1);

        QProcess run;
        QVERIFY(startQzr(run, {"save", "--hosts", hostList(fleet), "--dir", disk, "--jobs", "1", "--timeout", "3"},
                         fleet[0]->port()));
        // The first camera is under way (and hangs) once the new journal
        // names it.
        bool started = false;
        for (int round = 0; round < 3000 && !started; ++round) {
            const QByteArray journal = readAll(disk + "/index.journal");
            started = journal != before.value("index.journal") && journal.contains("\"event\":\"start\"");
            if (!started)
                QThread::msleep(10);
        }
        QVERIFY(started);
        fill(disk);
        const Outcome outcome = finishedQzr(run);
        QVERIFY(outcome.finished);
        QCOMPARE(outcome.exitCode, 1);

        const QStringList rows = QString::fromUtf8(outcome.out).split(QLatin1Char('\n'));
        QCOMPARE(rows.size(), 6); // the head, four cameras, the end of the last line
        QVERIFY2(rows.at(1).simplified().contains(" failed ") && rows.at(1).endsWith("did not answer within 3 s."),
                 qPrintable(rows.at(1)));
        for (int k = 1; k < 4; ++k) {
            const QString file = QStringLiteral("%1/127.0.0.1_%2.txt").arg(disk).arg(fleet[size_t(k)]->port());
            const QString row = rows.at(k + 1).simplified();
            QVERIFY2(row.startsWith(QStringLiteral("127.0.0.1:%1 failed ").arg(fleet[size_t(k)]->port()))
                         && row.endsWith("Cannot write file " + file + ": No space left on device."),
                     qPrintable(row));
        }
        QVERIFY2(outcome.err.contains("Cannot write file " + disk.toUtf8() + "/index.json: No space left on device.\n"),
                 outcome.err.constData());
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            if (it.key() != QLatin1String("index.journal"))
                QCOMPARE(readAll(disk + '/' + it.key()), it.value());
        }
        QStringList left = entriesOf(disk);
        left.removeAll("filler");
        QCOMPARE(left, before.keys());
    }
};

int main(int argc, char **argv)
{
    // Before Qt starts any thread: the mounts are this process's alone.
    enterPrivateMounts();
    QCoreApplication application(argc, argv);
    FullDiskTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "FullDiskTest.moc"
