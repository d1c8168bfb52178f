#include "app/WindowSet.h"

#include "app/Forms.h"
#include "app/Unit1.h"
#include "app/Unit2.h"
#include "app/Unit3.h"
#include "app/Unit4.h"
#include "app/Unit5.h"
#include "app/Unit6.h"
#include "app/Unit7.h"
#include "app/Unit8.h"
#include "app/Unit9.h"
#include "app/Unit10.h"
#include "app/Unit11.h"
#include "app/Unit12.h"
#include "app/Unit13.h"
#include "app/Unit14.h"
#include "app/Unit15.h"
#include "app/Unit16.h"
#include "app/Unit17.h"
#include "windowsupport/ViewerStart.h"

#include <QApplication>
#include <QPointer>
#include <vector>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

// The pictures live in this static library; make sure they are registered.
static void registerPictures()
{
    Q_INIT_RESOURCE(resources);
}

namespace qzr {

namespace {
SharedState g_shared;
// Viewer windows made for a view may be released before the set ends.
std::vector<QPointer<QWidget>> g_windows;
} // namespace

SharedState &shared()
{
    return g_shared;
}

void keepWithWindowSet(QWidget *window)
{
    g_windows.push_back(window);
}

WindowSet::WindowSet(const StartOptions &options)
{
    registerPictures();
    g_shared = SharedState();
    g_windows = {new TForm1,  new TForm2,  new TForm3,  new TForm4,  new TForm5,  new TForm6,
                 new TForm7,  new TForm8,  new TForm9,  new TForm10, new TForm11, new TForm12,
                 new TForm13, new TForm14, new TForm15, new TForm16, new TForm17};
    if (!options.address.isEmpty()) {
        Form1->Edit1->setText(options.address);
        Form3->Edit1->setText(options.address);
    }
    if (!options.port.isEmpty())
        Form1->Edit2->setText(options.port);
    if (options.replyTimeoutS > 0)
        Form1->session().client().setReplyTimeoutMs(options.replyTimeoutS * 1000);
    Form1->show();
    Form3->raise();
    // A port that cannot be had turns the UDP log off; the rest works on.
    if (options.udpLogPort)
        Form1->startUdpLog(*options.udpLogPort);
}

WindowSet::~WindowSet()
{
    // The main window last: the others may still refer to it while they go.
    for (auto it = g_windows.rbegin(); it != g_windows.rend(); ++it)
        delete it->data();
    g_windows.clear();
}

} // namespace qzr
