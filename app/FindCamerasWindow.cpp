#include "app/FindCamerasWindow.h"

#include "protocol/ShownText.h"

#include "windowsupport/FormSupport.h"
#include "windowsupport/FoundCamerasModel.h"
#include "app/ConnectCamera.h"
#include "app/Forms.h"
#include "app/SiteOverviewWindow.h"
#include "app/Unit1.h"
#include "protocol/ConnectionInput.h"
#include "windowsupport/Operation.h"
#include "windowsupport/UserDialogs.h"
#include "windowsupport/ViewerStart.h"
#include "protocol/CameraError.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>

#include <algorithm>
#include <iterator>
#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>

using namespace qzr;
using namespace qzr::discovery;

FindCamerasWindow *FormFindCameras = nullptr;

FindCamerasWindow *findCamerasWindow()
{
    if (!FormFindCameras)
        keepWithWindowSet(new FindCamerasWindow);
    return FormFindCameras;
}

FindCamerasWindow::FindCamerasWindow(QWidget *parent)
    : QWidget(parent)
{
    FormFindCameras = this;
    // FindCamerasWindow.ui holds the controls; the window's flags and place,
    // and the table's model with its columns, are set here.
    setWindowFlags(Qt::Window);
    setupUi(this);
    move(200, 160);

    m_model = new FoundCamerasModel(this);
    m_sorted = new QSortFilterProxyModel(this);
    m_sorted->setSourceModel(m_model);
    m_sorted->setSortRole(FoundCamerasModel::SortKeyRole);
    m_sorted->setDynamicSortFilter(true);
    m_sorted->sort(0);
    CameraTable->setModel(m_sorted);
    // Rows of one height, columns sized once (not per reply, which costs a
    // pass over every row); long values are elided (the .ui turns wrapping
    // off), so that the flags stay in view.
    CameraTable->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    CameraTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    const int widths[] = {110, 50, 100, 80, 115, 85};
    for (int column = 0; column < int(std::size(widths)); ++column)
        CameraTable->setColumnWidth(column, widths[column]);

    connect(SearchAgainButton, &QPushButton::clicked, this, [this] { startSearch(); });
    connect(StopSearchButton, &QPushButton::clicked, this, [this] { stopSearch(); });
    connect(CloseButton, &QPushButton::clicked, this, &QWidget::close);
    connect(UseCameraButton, &QPushButton::clicked, this, [this] { useSelectedCamera(); });
    connect(CameraTable, &QTableView::doubleClicked, this, [this](const QModelIndex &index) { useCamera(index.row()); });
    connect(ReadDetailsButton, &QPushButton::clicked, this, [this] { readSelectedDetails(); });
    connect(ShowWallButton, &QPushButton::clicked, this, [this] { showAllOnAWall(); });
    connect(CameraTable->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        const bool any = CameraTable->selectionModel()->hasSelection();
        UseCameraButton->setEnabled(any);
        ReadDetailsButton->setEnabled(any);
    });
    connect(&m_finder, &CameraFinder::camerasChanged, this, &FindCamerasWindow::showCameras);
    connect(&m_finder, &CameraFinder::progressChanged, this, [this](int done, int total) {
        SearchProgress->setRange(0, total);
        SearchProgress->setValue(done);
    });
    connect(&m_finder, &CameraFinder::finished, this, &FindCamerasWindow::searchFinished);
}

FindCamerasWindow::~FindCamerasWindow()
{
    if (FormFindCameras == this)
        FormFindCameras = nullptr;
}

bool FindCamerasWindow::startSearch()
{
    SearchOptions options = m_base;
    options.sweeps.clear();
    const QString range = SweepEdit->text().trimmed();
    if (!range.isEmpty()) {
        QString error;
        const auto sweep = parseSweepRange(range, &error);
        if (!sweep) {
            dialogs().showError(withFinalPeriod(error));
            return false;
        }
        options.sweeps.append(*sweep);
    }
    // The search sends no credentials; they go only with "Read details".
    options.identify = false;
    m_readingDetails = false;
    m_model->newSearch();
    SearchProgress->setRange(0, 1);
    SearchProgress->setValue(0);
    const bool started = m_finder.start(options);
    showSearching();
    if (!started) {
        StatusLabel->setText(m_finder.errorText());
        dialogs().showError(withFinalPeriod(m_finder.errorText()));
        return false;
    }
    StatusLabel->setText(QStringLiteral("Searching..."));
    if (!m_finder.warnings().isEmpty())
        StatusLabel->setToolTip(plainToolTip(m_finder.warnings().join(QLatin1Char('\n'))));
    return true;
}

void FindCamerasWindow::openAndSearch()
{
    show();
    raise();
    if (!m_finder.isRunning())
        startSearch();
}

void FindCamerasWindow::stopSearch()
{
    m_finder.stop();
    showSearching();
}

void FindCamerasWindow::showSearching()
{
    StopSearchButton->setEnabled(m_finder.isRunning());
}

void FindCamerasWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void FindCamerasWindow::closeEvent(QCloseEvent *event)
{
    stopSearch();
    QWidget::closeEvent(event);
}

void FindCamerasWindow::showCameras()
{
    m_model->update(m_finder.unsortedCameras());
    ShowWallButton->setEnabled(m_sorted->rowCount() > 0);
}

const FoundCamera &FindCamerasWindow::shownCamera(int row) const
{
    return m_model->camera(m_sorted->mapToSource(m_sorted->index(row, 0)).row());
}

void FindCamerasWindow::searchFinished()
{
    showCameras();
    showSearching();
    const int count = m_model->rowCount();
    QString status = m_readingDetails ? QStringLiteral("Details read")
        : count == 1                  ? QStringLiteral("1 camera found")
                                      : QStringLiteral("%1 cameras found").arg(count);
    m_readingDetails = false;
    const QStringList losses = m_finder.lossTexts();
    if (!losses.isEmpty())
        status += QStringLiteral("; ") + losses.join(QStringLiteral("; "));
    StatusLabel->setText(status);
    StatusLabel->setToolTip(plainToolTip(status));
}

SearchOptions FindCamerasWindow::credentialsFromMainWindow() const
{
    SearchOptions options = m_base;
    if (Form1) {
        options.user = Form1->Edit3->text();
        options.password = Form1->Edit4->text();
    }
    return options;
}

QList<int> FindCamerasWindow::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex &index : CameraTable->selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

bool FindCamerasWindow::readSelectedDetails()
{
    QList<FoundCamera> chosen;
    for (const int row : selectedRows())
        chosen << shownCamera(row);
    const QStringList targets = CameraFinder::detailTargets(chosen);
    if (targets.isEmpty()) {
        dialogs().showError(QStringLiteral("None of the selected cameras can be read (https or a host name)."));
        return false;
    }
    const QString text = QStringLiteral("Log in with the main window's user and password to:\n%1\n\nOnly "
                                        "cameras you trust should get your password.")
                             .arg(shownText(targets.join(QLatin1Char('\n'))));
    if (!dialogs().confirm(QStringLiteral("Read details"), text))
        return false;
    m_readingDetails = true;
    StatusLabel->setText(QStringLiteral("Reading details..."));
    m_model->forgetEarlierReads(chosen);
    m_finder.readDetails(chosen, credentialsFromMainWindow());
    showSearching();
    return true;
}

bool FindCamerasWindow::useSelectedCamera()
{
    const QList<int> rows = selectedRows();
    return !rows.isEmpty() && useCamera(rows.first());
}

bool FindCamerasWindow::useCamera(int row)
{
    if (row < 0 || row >= m_sorted->rowCount())
        return false;
    const FoundCamera camera = shownCamera(row);
    // A failure is reported by the connection and this window stays for
    // another choice.
    if (!connectMainWindow(camera.address, camera.port, camera.flags & FlagLoginNeeded))
        return false;
    close();
    Form1->raise();
    Form1->activateWindow();
    return true;
}

void FindCamerasWindow::showAllOnAWall()
{
    QList<qzr::site::SiteCamera> cameras;
    for (int row = 0; row < m_sorted->rowCount(); ++row) {
        const FoundCamera &camera = shownCamera(row);
        // Only cameras the tool reads at all, at the address it reads from.
        const std::optional<QString> host = qzr::cameraHost(camera.readHost());
        if (camera.readable() && host)
            cameras << qzr::site::SiteCamera{*host, camera.port};
    }
    SiteOverviewWindow *wall = siteOverviewWindow();
    wall->showCameras(cameras);
    wall->show();
    wall->raise();
    wall->activateWindow();
}
