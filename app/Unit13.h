#pragma once
#include <QWidget>

#include "ui_Unit13.h"

class QWebEngineView;

// The camera's service page in an embedded browser.
class TForm13 : public QWidget, public Ui::TForm13
{
    Q_OBJECT

public:
    explicit TForm13(QWidget *parent = nullptr);
    ~TForm13() override;

    // Lets the browser navigate to url, given as text exactly as built.
    void Navigate(const QString &url);

    // The last address the browser was told to navigate to, as given.
    const QString &navigatedUrl() const { return m_navigatedUrl; }

    void Button1Click(); // "Close"

    // Unit13.ui: Panel1 with its caption, Button1 "Close".
    // Made on the first navigation: the browser engine starts only when the
    // service page is wanted.
    QWebEngineView *WebBrowser1 = nullptr;

private:
    QString m_navigatedUrl;
};

extern TForm13 *Form13;

namespace qzr {

// The browser engine refuses to start as root with its sandbox on; as root the
// sandbox is switched off (unless the environment already decided). Call
// before the first browser is made.
void prepareEmbeddedBrowser();

} // namespace qzr
