#include "app/SiteOverviewWindow.h"

#include "app/ConnectCamera.h"
#include "app/Unit1.h"
#include "protocol/CameraError.h"
#include "protocol/CameraFailure.h"
#include "protocol/ConnectionInput.h"
#include "protocol/ShownText.h"
#include "site/CameraStream.h"
#include "video/StreamSettings.h"
#include "windowsupport/CameraTile.h"
#include "windowsupport/Operation.h"
#include "windowsupport/UserDialogs.h"
#include "windowsupport/ViewerStart.h"

#include <QImageWriter>
#include <QMenu>
#include <QSaveFile>

#include <cmath>

using namespace qzr;
using qzr::site::SiteCamera;
using qzr::site::SiteCameraInfo;

namespace {

SiteOverviewWindow *g_wall = nullptr;

} // namespace

struct SiteOverviewWindow::Camera
{
    SiteCamera camera;
    CameraTile *tile = nullptr;
    std::optional<SiteCameraInfo> info;
    int chosenChannel = 0; // 0: the lowest-resolution channel that runs
    int channel = 0;       // the one playing
    // Whose credentials the reads and the stream use: the main window's
    // when the wall was filled, or what the user gave for this camera.
    QString user;
    QString password;
    QString snapshotPath; // a snapshot waits for its picture
};

SiteOverviewWindow *siteOverviewWindow()
{
    if (!g_wall)
        keepWithWindowSet(new SiteOverviewWindow);
    return g_wall;
}

SiteOverviewWindow::SiteOverviewWindow(QWidget *parent)
    : QWidget(parent)
{
    g_wall = this;
    setWindowFlags(Qt::Window);
    setupUi(this);
    QPalette dark = TileArea->palette();
    dark.setColor(QPalette::Window, QColor(48, 48, 48));
    TileArea->setPalette(dark);
    StatusLabel->setText(QStringLiteral("Open a host list, or use \"Show all on a wall\" in Find Cameras."));
    connect(OpenHostListButton, &QPushButton::clicked, this, [this] { openHostList(); });
    connect(PreviousPageButton, &QPushButton::clicked, this, [this] { setPage(m_page - 1); });
    connect(NextPageButton, &QPushButton::clicked, this, [this] { setPage(m_page + 1); });
    connect(&m_reader, &site::SiteReader::cameraRead, this, &SiteOverviewWindow::onCameraRead);
}

SiteOverviewWindow::~SiteOverviewWindow()
{
    if (g_wall == this)
        g_wall = nullptr;
}

void SiteOverviewWindow::showCameras(const QList<SiteCamera> &cameras)
{
    m_reader.stop();
    for (Camera &camera : m_cameras)
        delete camera.tile;
    m_cameras.clear();
    const QString user = Form1 ? Form1->Edit3->text() : QString();
    const QString password = Form1 ? Form1->Edit4->text() : QString();
    for (const SiteCamera &site : cameras) {
        Camera camera;
        camera.camera = site;
        camera.user = user;
        camera.password = password;
        camera.tile = new CameraTile(TileArea);
        camera.tile->hide();
        camera.tile->setCaption(site.address(), QString());
        camera.tile->setState(CameraTile::readingText());
        const int index = int(m_cameras.size());
        connect(camera.tile, &CameraTile::doubleClicked, this, [this, index] { connectMainWindowTo(index); });
        connect(camera.tile, &CameraTile::menuRequested, this, [this, index](const QPoint &at) {
            QMenu *menu = tileMenu(index);
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu->popup(at);
        });
        connect(camera.tile, &CameraTile::fullPictureTaken, this,
                [this, index](const QImage &picture) { saveSnapshot(index, picture); });
        m_cameras.push_back(camera);
    }
    m_page = 0;
    layOutPage();
    for (int i = 0; i < int(m_cameras.size()); ++i) {
        m_reader.setCredentials(m_cameras[size_t(i)].user, m_cameras[size_t(i)].password);
        m_reader.read(i, m_cameras[size_t(i)].camera);
    }
    showStatus();
}

bool SiteOverviewWindow::openHostList()
{
    const QString path =
        dialogs().openFileName(QStringLiteral("Open host list"), QStringLiteral("Host lists (*.txt *.csv *.lst);;All files (*)"));
    if (path.isEmpty())
        return false;
    bool portOk = false;
    const int port = Form1 ? Form1->Edit2->text().trimmed().toInt(&portOk) : 80;
    const site::HostList list = site::readHostListFile(path, portOk && port >= kMinPort && port <= kMaxPort ? port : 80);
    if (!list.ok()) {
        dialogs().showError(withFinalPeriod(QStringLiteral("%1: %2").arg(path, list.error)));
        return false;
    }
    showCameras(list.cameras);
    return true;
}

int SiteOverviewWindow::cameraCount() const
{
    return int(m_cameras.size());
}

int SiteOverviewWindow::pageCount() const
{
    return qMax(1, (int(m_cameras.size()) + kTilesPerPage - 1) / kTilesPerPage);
}

void SiteOverviewWindow::setPage(int page)
{
    const int wanted = qBound(0, page, pageCount() - 1);
    if (wanted == m_page)
        return;
    m_page = wanted;
    layOutPage();
    showStatus();
}

void SiteOverviewWindow::layOutPage()
{
    // Tiles off the page are hidden first, so that their streams end
    // before the page's start.
    const int first = m_page * kTilesPerPage;
    const int count = qMin(kTilesPerPage, int(m_cameras.size()) - first);
    for (int i = 0; i < int(m_cameras.size()); ++i) {
        if (i < first || i >= first + count) {
            TileGrid->removeWidget(m_cameras[size_t(i)].tile);
            m_cameras[size_t(i)].tile->hide();
        }
    }
    // As square a grid as the tiles allow: 16 as 4 x 4, 5 as 3 x 2.
    const int columns = count > 0 ? int(std::ceil(std::sqrt(double(count)))) : 1;
    for (int k = 0; k < count; ++k) {
        CameraTile *tile = m_cameras[size_t(first + k)].tile;
        TileGrid->addWidget(tile, k / columns, k % columns);
        tile->show();
    }
    for (int column = 0; column < TileGrid->columnCount(); ++column)
        TileGrid->setColumnStretch(column, column < columns ? 1 : 0);
    for (int row = 0; row < TileGrid->rowCount(); ++row)
        TileGrid->setRowStretch(row, row < (count + columns - 1) / columns ? 1 : 0);
    PageLabel->setText(QStringLiteral("Page %1 of %2").arg(m_page + 1).arg(pageCount()));
    PreviousPageButton->setEnabled(m_page > 0);
    NextPageButton->setEnabled(m_page + 1 < pageCount());
}

CameraTile *SiteOverviewWindow::tile(int camera) const
{
    return camera >= 0 && camera < int(m_cameras.size()) ? m_cameras[size_t(camera)].tile : nullptr;
}

std::optional<SiteCameraInfo> SiteOverviewWindow::cameraInfo(int camera) const
{
    return camera >= 0 && camera < int(m_cameras.size()) ? m_cameras[size_t(camera)].info : std::nullopt;
}

int SiteOverviewWindow::channelOf(int camera) const
{
    return camera >= 0 && camera < int(m_cameras.size()) ? m_cameras[size_t(camera)].channel : 0;
}

void SiteOverviewWindow::onCameraRead(int index, const SiteCameraInfo &info)
{
    if (index < 0 || index >= int(m_cameras.size()))
        return;
    Camera &camera = m_cameras[size_t(index)];
    camera.info = info;
    camera.tile->setCaption(camera.camera.address(), info.model);
    if (info.loginNeeded) {
        camera.tile->setState(CameraTile::loginNeededText());
    } else if (!info.ok()) {
        camera.tile->setState(QStringLiteral("not read: ") + info.error);
    } else {
        play(index);
    }
    showStatus();
}

void SiteOverviewWindow::play(int index)
{
    Camera &camera = m_cameras[size_t(index)];
    camera.tile->stop();
    camera.channel = 0;
    if (!camera.info || !camera.info->ok())
        return;
    const SiteCameraInfo &info = *camera.info;
    const std::optional<int> channel =
        camera.chosenChannel > 0 ? std::optional<int>(camera.chosenChannel) : info.lowestResolutionChannel();
    if (!channel) {
        camera.tile->setState(CameraTile::noPictureText(QStringLiteral("no encoder of the camera sends video")));
        return;
    }
    // The stream the main window's template names, when one was given;
    // else the camera's own RTSP port.
    const video::StreamSettings &settings = video::StreamSettings::current();
    const bool ownTemplate = settings.urlTemplate != QLatin1String(video::StreamSettings::kDefaultUrlTemplate);
    if (!ownTemplate && !info.rtspPort) {
        camera.tile->setState(CameraTile::noPictureText(
            QStringLiteral("the camera reports no RTSP port ('%1')").arg(shownText(info.rtspPortText))));
        return;
    }
    camera.channel = *channel;
    const QString url = site::cameraStreamUrl(camera.camera.host, info.rtspPort.value_or(554), *channel,
                                              ownTemplate ? settings.urlTemplate : QString());
    camera.tile->play(url, camera.user, camera.password);
}

void SiteOverviewWindow::showStatus()
{
    if (m_cameras.empty()) {
        StatusLabel->setText(QStringLiteral("No cameras."));
        return;
    }
    int read = 0;
    int failed = 0;
    for (const Camera &camera : m_cameras) {
        if (camera.info) {
            ++read;
            if (!camera.info->ok())
                ++failed;
        }
    }
    QString text = QStringLiteral("%1 cameras").arg(m_cameras.size());
    if (read < int(m_cameras.size()))
        text += QStringLiteral(", %1 read").arg(read);
    if (failed > 0)
        text += QStringLiteral(", %1 not read").arg(failed);
    StatusLabel->setText(text);
}

bool SiteOverviewWindow::connectMainWindowTo(int index)
{
    if (index < 0 || index >= int(m_cameras.size()))
        return false;
    const Camera &camera = m_cameras[size_t(index)];
    const bool loginNeeded = camera.info && camera.info->loginNeeded;
    if (!connectMainWindow(camera.camera.host, camera.camera.port, loginNeeded))
        return false;
    Form1->show();
    Form1->raise();
    Form1->activateWindow();
    return true;
}

QMenu *SiteOverviewWindow::tileMenu(int index)
{
    auto *menu = new QMenu(this);
    if (index < 0 || index >= int(m_cameras.size()))
        return menu;
    const Camera &camera = m_cameras[size_t(index)];
    for (int channel = 1; channel <= 3; ++channel) {
        QAction *action = menu->addAction(QStringLiteral("Channel %1").arg(channel));
        action->setObjectName(QStringLiteral("Channel%1Action").arg(channel));
        action->setCheckable(true);
        action->setChecked(camera.channel == channel);
        action->setEnabled(camera.info && camera.info->ok() && camera.info->channelRuns(channel));
        connect(action, &QAction::triggered, this, [this, index, channel] { chooseChannel(index, channel); });
    }
    menu->addSeparator();
    QAction *login = menu->addAction(QStringLiteral("Log in\u2026"));
    login->setObjectName(QStringLiteral("LoginAction"));
    connect(login, &QAction::triggered, this, [this, index] { logInTo(index); });
    QAction *snap = menu->addAction(QStringLiteral("Snapshot\u2026"));
    snap->setObjectName(QStringLiteral("SnapshotAction"));
    snap->setEnabled(camera.tile->isReceiving());
    connect(snap, &QAction::triggered, this, [this, index] { snapshot(index); });
    return menu;
}

void SiteOverviewWindow::chooseChannel(int index, int channel)
{
    if (index < 0 || index >= int(m_cameras.size()) || channel < 1 || channel > 3)
        return;
    m_cameras[size_t(index)].chosenChannel = channel;
    play(index);
}

bool SiteOverviewWindow::logInTo(int index)
{
    if (index < 0 || index >= int(m_cameras.size()))
        return false;
    Camera &camera = m_cameras[size_t(index)];
    QString user = camera.user;
    QString password;
    if (!dialogs().askLogin(camera.camera.address(), QString(), user, password))
        return false;
    camera.user = user;
    camera.password = password;
    camera.info.reset();
    camera.tile->stop();
    camera.tile->setState(CameraTile::readingText());
    m_reader.setCredentials(user, password);
    m_reader.read(index, camera.camera);
    return true;
}

bool SiteOverviewWindow::snapshot(int index)
{
    if (index < 0 || index >= int(m_cameras.size()) || !m_cameras[size_t(index)].tile->isReceiving())
        return false;
    QString path = dialogs().saveFileName(QStringLiteral("Snapshot"), QStringLiteral("PNG pictures (*.png)"));
    if (path.isEmpty())
        return false;
    if (!path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        path += QStringLiteral(".png");
    m_cameras[size_t(index)].snapshotPath = path;
    return m_cameras[size_t(index)].tile->takeFullPicture();
}

void SiteOverviewWindow::saveSnapshot(int index, const QImage &picture)
{
    if (index < 0 || index >= int(m_cameras.size()))
        return;
    const QString path = std::exchange(m_cameras[size_t(index)].snapshotPath, QString());
    if (path.isEmpty())
        return;
    if (picture.isNull()) {
        dialogs().showError(QStringLiteral("No snapshot of %1 was saved: its stream stopped first.")
                                .arg(m_cameras[size_t(index)].camera.address()));
        return;
    }
    // Written whole or not at all: an existing file stays until the new one is complete.
    QSaveFile file(path);
    QImageWriter writer(&file, "png");
    const bool written = file.open(QIODevice::WriteOnly) && writer.write(picture);
    const QString writeError = writer.error() != QImageWriter::UnknownError ? writer.errorString() : file.errorString();
    if (!written || !file.commit()) {
        dialogs().showError(withFinalPeriod(QStringLiteral("Cannot save the snapshot to %1: %2")
                                                .arg(path, written ? file.errorString() : writeError)));
        return;
    }
    dialogs().showNotice(QStringLiteral("Snapshot of %1 saved to %2 (%3x%4).")
                             .arg(m_cameras[size_t(index)].camera.address(), path)
                             .arg(picture.width())
                             .arg(picture.height()));
}
