#pragma once
#include "discovery/CameraFinder.h"

#include <QWidget>

#include "ui_FindCamerasWindow.h"

class FoundCamerasModel;
class QSortFilterProxyModel;

// "Find Cameras": searches the network for cameras (WS-Discovery on every
// interface, and an address sweep when a range is given), lists them as they
// are found, and hands the chosen one to the main window and "IP Setup".
class FindCamerasWindow : public QWidget, public Ui::FindCamerasWindow
{
    Q_OBJECT

public:
    explicit FindCamerasWindow(QWidget *parent = nullptr);
    ~FindCamerasWindow() override;

    // What every search starts from (interfaces, timing, discovery port);
    // the sweep range and the credentials are filled in per search.
    void setBaseOptions(const qzr::discovery::SearchOptions &options) { m_base = options; }

    // Starts a search with the sweep range of the field and the main window's
    // user and password. A range that cannot be read is reported and
    // nothing starts; false then.
    bool startSearch();
    // Shows the window and starts a search unless one is under way (menu
    // "Find Cameras…" and the "Search" procedure button).
    void openAndSearch();
    void stopSearch();
    bool isSearching() const { return m_finder.isRunning(); }

    // "Use this camera" (or a double-click): the chosen row's address and
    // port go into the main window's fields and into "IP Setup", and the
    // tool connects as "IP Setup" > "Save Settings" does (the main window
    // shows the camera's model, firmware and MAC); then this window closes.
    // A camera that asked for a login first asks the user for a user name
    // and password, which go into the main window; cancelled, nothing
    // happens. A failure is reported and the window stays. Rows count as
    // shown (sorted by address). True when connected.
    bool useCamera(int row);
    bool useSelectedCamera();
    // "Read details": model, firmware and MAC of the selected rows, read
    // with the main window's user and password after the user confirms the
    // addresses they go to. False when nothing was read.
    bool readSelectedDetails();
    // "Show all on a wall": every camera listed that the tool reads goes on
    // the "Site Overview" wall, which comes forward.
    void showAllOnAWall();

    qzr::discovery::CameraFinder &finder() { return m_finder; }

    // FindCamerasWindow.ui holds the controls: SweepLabel and SweepEdit,
    // SearchAgainButton, StopSearchButton, CameraTable, SearchProgress,
    // StatusLabel, ShowWallButton, ReadDetailsButton, UseCameraButton and
    // CloseButton.

protected:
    // Escape closes the window; closing it ends a search under way.
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void showCameras();
    void showSearching();
    void searchFinished();
    qzr::discovery::SearchOptions credentialsFromMainWindow() const;
    QList<int> selectedRows() const;

    // The camera shown in a row of the table.
    const qzr::discovery::FoundCamera &shownCamera(int row) const;

    qzr::discovery::CameraFinder m_finder;
    qzr::discovery::SearchOptions m_base;
    FoundCamerasModel *m_model = nullptr;
    QSortFilterProxyModel *m_sorted = nullptr;
    bool m_readingDetails = false;
};

// The window, made on first use and kept with the window set.
FindCamerasWindow *findCamerasWindow();
// The window if it was made, else null.
extern FindCamerasWindow *FormFindCameras;
