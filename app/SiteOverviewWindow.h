#pragma once
#include "site/HostList.h"
#include "site/SiteReader.h"

#include <QList>
#include <QWidget>

#include <optional>
#include <vector>

#include "ui_SiteOverviewWindow.h"

class CameraTile;
class QMenu;

// "Site Overview": a wall of the site's cameras, one tile each with its live
// picture (the camera's lowest-resolution stream that runs, or the channel
// the user picks), its address, model and state. Up to kTilesPerPage tiles
// play at once in a grid that fits the window; more cameras are paged, and
// tiles paged away or hidden receive nothing. Each camera is read first
// (model, RTSP port, encoders) with the main window's user and password.
// A double-click on a tile connects the main window to its camera; a tile's
// menu picks the channel, logs in, or saves a snapshot.
class SiteOverviewWindow : public QWidget, public Ui::SiteOverviewWindow
{
    Q_OBJECT

public:
    static constexpr int kTilesPerPage = 16;

    explicit SiteOverviewWindow(QWidget *parent = nullptr);
    ~SiteOverviewWindow() override;

    // Puts these cameras on the wall (replacing any), on page 1, and reads
    // each of them.
    void showCameras(const QList<qzr::site::SiteCamera> &cameras);
    // "Open host list…": a host list file chosen by the user (HOST,
    // HOST:PORT or [IPV6]:PORT per line; the main window's HTTP port for
    // entries without one). A list that cannot be used is reported and the
    // wall stays as it was. True when the wall shows the list.
    bool openHostList();

    int cameraCount() const;
    int page() const { return m_page; }
    int pageCount() const;
    void setPage(int page);

    // Camera i's tile (in the order given).
    CameraTile *tile(int camera) const;
    // Camera i as read (nullopt until its read ended).
    std::optional<qzr::site::SiteCameraInfo> cameraInfo(int camera) const;
    // The channel camera i plays (0 while none).
    int channelOf(int camera) const;

    // Double-click on camera i's tile: the main window connects to it (as
    // "Save Settings" in "IP Setup" does) and comes forward.
    bool connectMainWindowTo(int camera);
    // Camera i's tile menu: "Channel 1".."Channel 3", "Log in…", "Snapshot…"
    // (objects "Channel1Action".., "LoginAction", "SnapshotAction").
    QMenu *tileMenu(int camera);
    // Plays channel n (1..3) of camera i from now on.
    void chooseChannel(int camera, int channel);
    // Asks for a user and password for camera i and reads it with them.
    bool logInTo(int camera);
    // Asks for a file name, then saves camera i's next picture at the
    // stream's full size as PNG there; the result is reported.
    bool snapshot(int camera);

    // SiteOverviewWindow.ui holds the controls: OpenHostListButton,
    // StatusLabel, PreviousPageButton, PageLabel, NextPageButton and
    // TileArea (with the grid TileGrid).

private:
    struct Camera;
    void layOutPage();
    void onCameraRead(int camera, const qzr::site::SiteCameraInfo &info);
    void play(int camera);
    void showStatus();
    void saveSnapshot(int camera, const QImage &picture);

    qzr::site::SiteReader m_reader;
    std::vector<Camera> m_cameras;
    int m_page = 0;
};

// The window, made on first use and kept with the window set.
SiteOverviewWindow *siteOverviewWindow();
