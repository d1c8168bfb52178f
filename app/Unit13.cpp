#include "app/Unit13.h"

#include "windowsupport/FormSupport.h"
#include "windowsupport/Operation.h"
#include "windowsupport/UserDialogs.h"

#include <QFrame>
#include <QLabel>
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
    setObjectName(QStringLiteral("Form13"));
    qzr::setUpForm(this, QStringLiteral("Service Page"), qzr::FormStyle::Borderless, true, 548, 108, 617, 786);

    Panel1 = qzr::makeControl<QFrame>(this, "Panel1", 0, 0, 601, 33);
    Panel1->setFrameShape(QFrame::Panel);
    auto *caption = qzr::makeLabel(Panel1, "Panel1Caption", QStringLiteral("QZ-R Service Menu"), 0, 0, 601, 33);
    caption->setAlignment(Qt::AlignCenter);

    Button1 = qzr::makeButton(this, "Button1", QStringLiteral("Close"), 0, 32, 617, 25);
    QFont bold = Button1->font();
    bold.setBold(true);
    Button1->setFont(bold);
    QPalette red = Button1->palette();
    red.setColor(QPalette::ButtonText, Qt::red);
    Button1->setPalette(red);
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
