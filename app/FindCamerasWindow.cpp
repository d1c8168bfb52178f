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
#include <QTableWidget>

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
    CameraTable->setSelectionMode(QAbstractItemView::SingleSelection);
    CameraTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    CameraTable->verticalHeader()->hide();
    // Addresses and MACs are read whole; the flags take what is left.
    CameraTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    CameraTable->horizontalHeader()->setStretchLastSection(true);

    SearchProgress = makeControl<QProgressBar>(this, "SearchProgress", 12, 346, 736, 20);
    SearchProgress->setRange(0, 1);
    SearchProgress->setValue(0);
    StatusLabel = makeLabel(this, "StatusLabel", QString(), 12, 376, 600, 30);
    UseCameraButton = makeButton(this, "UseCameraButton", QStringLiteral("Use this camera"), 618, 376, 130, 30);
    UseCameraButton->setEnabled(false);

    connect(SearchAgainButton, &QPushButton::clicked, this, [this] { startSearch(); });
    connect(StopSearchButton, &QPushButton::clicked, this, [this] { stopSearch(); });
    connect(UseCameraButton, &QPushButton::clicked, this, [this] { useSelectedCamera(); });
    connect(CameraTable, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { useCamera(row); });
    connect(CameraTable, &QTableWidget::itemSelectionChanged, this,
            [this] { UseCameraButton->setEnabled(!CameraTable->selectedItems().isEmpty()); });
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
    if (Form1) {
        options.user = Form1->Edit3->text();
        options.password = Form1->Edit4->text();
    }
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
    m_shown = m_finder.cameras();
    CameraTable->setRowCount(int(m_shown.size()));
    for (int row = 0; row < int(m_shown.size()); ++row) {
        const FoundCamera &camera = m_shown.at(row);
        const QStringList cells{camera.address, QString::number(camera.port), camera.identity.model,
                                camera.identity.firmware, camera.identity.mac, foundByText(camera.foundBy),
                                flagsText(camera)};
        const QString explanation = plainToolTip(flagsExplanation(camera));
        for (int column = 0; column < int(cells.size()); ++column) {
            auto *item = new QTableWidgetItem(shownText(cells.at(column)));
            item->setToolTip(explanation);
            CameraTable->setItem(row, column, item);
        }
    }
}

void FindCamerasWindow::searchFinished()
{
    showCameras();
    const int count = int(m_shown.size());
    StatusLabel->setText(count == 1 ? QStringLiteral("1 camera found") : QStringLiteral("%1 cameras found").arg(count));
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
