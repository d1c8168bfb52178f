#include "app/Unit13.h"

#include "windowsupport/Operation.h"
#include "windowsupport/UserDialogs.h"

#include <QPushButton>
#include <QAuthenticator>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <unistd.h>

TForm13 *Form13 = nullptr;

namespace {
constexpr int kBrowserLeft = -224; // its left part lies outside the window
constexpr int kBrowserTop = 57;
constexpr int kBrowserWidth = 841;
constexpr int kBrowserHeight = 785;
} // namespace

namespace qzr {

void prepareEmbeddedBrowser()
{
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

} // namespace qzr

TForm13::TForm13(QWidget *parent)
    : QWidget(parent)
{
    Form13 = this;
    // Unit13.ui holds the controls; the window's flags and place are set here.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setupUi(this);
    move(548, 108);
    qzr::connectReported(Button1, &QPushButton::clicked, this, &TForm13::Button1Click);
}

TForm13::~TForm13()
{
    if (Form13 == this)
        Form13 = nullptr;
}

void TForm13::Navigate(const QString &url)
{
    m_navigatedUrl = url;
    if (!WebBrowser1) {
        qzr::prepareEmbeddedBrowser();
        WebBrowser1 = new QWebEngineView(this);
        WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
        WebBrowser1->setGeometry(kBrowserLeft, kBrowserTop, kBrowserWidth, kBrowserHeight);
        WebBrowser1->show();
        // The camera's own login: the user is asked, nothing is passed on
        // from the connection fields.
        connect(WebBrowser1->page(), &QWebEnginePage::authenticationRequired, this,
                [](const QUrl &site, QAuthenticator *login) {
                    QString user;
                    QString password;
                    if (qzr::dialogs().askLogin(site.authority(), login->realm(), user, password)) {
                        login->setUser(user);
                        login->setPassword(password);
                    } else {
                        *login = QAuthenticator();
                    }
                });
    }
    WebBrowser1->setUrl(QUrl(url));
}

void TForm13::Button1Click()
{
    hide();
}
