#include "app/FindCamerasWindow.h"

#include "protocol/ShownText.h"

#include "app/FormSupport.h"
#include "app/Forms.h"
#include "app/Operation.h"
#include "app/UserDialogs.h"
#include "app/ViewerStart.h"
#include "protocol/CameraError.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>

#include <algorithm>
#include <iterator>

using namespace qzr;
using namespace qzr::discovery;

FindCamerasWindow *FormFindCameras = nullptr;

namespace {
// Columns of the list, as the command line prints them.
const QStringList kColumns{QStringLiteral("Address"), QStringLiteral("Port"), QStringLiteral("Model"),
                           QStringLiteral("Firmware"), QStringLiteral("MAC"), QStringLiteral("Found by"),
                           QStringLiteral("Flags")};
} // namespace

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
    setObjectName(QStringLiteral("FindCameras"));
    setUpForm(this, QStringLiteral("Find Cameras"), FormStyle::Normal, false, 200, 160, 760, 420);

    SweepLabel = makeLabel(this, "SweepLabel", QStringLiteral("Sweep range (CIDR[:PORT])"), 12, 14, 170, 24);
    SweepEdit = makeControl<QLineEdit>(this, "SweepEdit", 186, 12, 220, 26);
    SweepEdit->setPlaceholderText(QStringLiteral("e.g. 192.168.0.0/24:80"));
    nameAfterLabel(SweepEdit, SweepLabel);
    SearchAgainButton = makeButton(this, "SearchAgainButton", QStringLiteral("Search again"), 416, 10, 110, 30);
    StopSearchButton = makeButton(this, "StopSearchButton", QStringLiteral("Stop search"), 532, 10, 100, 30);

    CameraTable = makeControl<QTableWidget>(this, "CameraTable", 12, 48, 736, 290);
    CameraTable->setColumnCount(int(kColumns.size()));
    CameraTable->setHorizontalHeaderLabels(kColumns);
    CameraTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    CameraTable->setSelectionMode(QAbstractItemView::ExtendedSelection);
    CameraTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    CameraTable->verticalHeader()->hide();
    // Columns are sized once (not per reply, which costs a pass over every
    // row); long values are elided, so that the flags stay in view.
    CameraTable->setTextElideMode(Qt::ElideRight);
    CameraTable->setWordWrap(false);
    CameraTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    CameraTable->horizontalHeader()->setStretchLastSection(true);
    const int widths[] = {120, 50, 110, 90, 120, 100};
    for (int column = 0; column < int(std::size(widths)); ++column)
        CameraTable->setColumnWidth(column, widths[column]);

    SearchProgress = makeControl<QProgressBar>(this, "SearchProgress", 12, 346, 736, 20);
    SearchProgress->setRange(0, 1);
    SearchProgress->setValue(0);
    StatusLabel = makeLabel(this, "StatusLabel", QString(), 12, 376, 600, 30);
    StatusLabel->resize(470, 30);
    ReadDetailsButton = makeButton(this, "ReadDetailsButton", QStringLiteral("Read details"), 488, 376, 124, 30);
    ReadDetailsButton->setEnabled(false);
    UseCameraButton = makeButton(this, "UseCameraButton", QStringLiteral("Use this camera"), 618, 376, 130, 30);
    UseCameraButton->setEnabled(false);

    connect(SearchAgainButton, &QPushButton::clicked, this, [this] { startSearch(); });
    connect(StopSearchButton, &QPushButton::clicked, this, [this] { stopSearch(); });
    connect(UseCameraButton, &QPushButton::clicked, this, [this] { useSelectedCamera(); });
    connect(CameraTable, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { useCamera(row); });
    connect(ReadDetailsButton, &QPushButton::clicked, this, [this] { readSelectedDetails(); });
    connect(CameraTable, &QTableWidget::itemSelectionChanged, this, [this] {
        const bool any = !CameraTable->selectedItems().isEmpty();
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
    m_shown.clear();
    CameraTable->setRowCount(0);
    SearchProgress->setRange(0, 1);
    SearchProgress->setValue(0);
    if (!m_finder.start(options)) {
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
}

void FindCamerasWindow::showCameras()
{
    // The rows are kept and their texts replaced: only what changed is
    // painted again.
    const QStringList selectedKeys = [this] {
        QStringList keys;
        for (const int row : selectedRows())
            keys << m_shown.value(row).key;
        return keys;
    }();
    m_shown = m_finder.cameras();
    CameraTable->setUpdatesEnabled(false);
    const QSignalBlocker blocker(CameraTable);
    CameraTable->setRowCount(int(m_shown.size()));
    for (int row = 0; row < int(m_shown.size()); ++row) {
        const FoundCamera &camera = m_shown.at(row);
        const QStringList cells{camera.address, QString::number(camera.port), camera.model(),
                                camera.identity.firmware, camera.identity.mac, foundByText(camera.foundBy),
                                flagsText(camera)};
        const QString explanation = plainToolTip(flagsExplanation(camera));
        for (int column = 0; column < int(cells.size()); ++column) {
            const QString text = shownText(cells.at(column));
            QTableWidgetItem *item = CameraTable->item(row, column);
            if (!item) {
                item = new QTableWidgetItem;
                CameraTable->setItem(row, column, item);
            }
            if (item->text() != text)
                item->setText(text);
            if (item->toolTip() != explanation)
                item->setToolTip(explanation);
            item->setSelected(selectedKeys.contains(camera.key));
        }
    }
    CameraTable->setUpdatesEnabled(true);
    const bool any = !CameraTable->selectedItems().isEmpty();
    UseCameraButton->setEnabled(any);
    ReadDetailsButton->setEnabled(any);
}

void FindCamerasWindow::searchFinished()
{
    showCameras();
    const int count = int(m_shown.size());
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
    for (const QTableWidgetItem *item : CameraTable->selectedItems()) {
        if (!rows.contains(item->row()))
            rows << item->row();
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

bool FindCamerasWindow::readSelectedDetails()
{
    QList<FoundCamera> chosen;
    for (const int row : selectedRows()) {
        if (row >= 0 && row < int(m_shown.size()))
            chosen << m_shown.at(row);
    }
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
    m_finder.readDetails(chosen, credentialsFromMainWindow());
    return true;
}

void FindCamerasWindow::useSelectedCamera()
{
    const QList<QTableWidgetItem *> selected = CameraTable->selectedItems();
    if (!selected.isEmpty())
        useCamera(selected.first()->row());
}

void FindCamerasWindow::useCamera(int row)
{
    if (row < 0 || row >= int(m_shown.size()))
        return;
    const FoundCamera &camera = m_shown.at(row);
    Form1->Edit1->setText(camera.address);
    Form1->Edit2->setText(QString::number(camera.port));
    Form3->Edit1->setText(camera.address);
    Form3->show();
    Form3->raise();
    Form3->activateWindow();
}
