#include "windowsupport/FormSupport.h"

#include "protocol/ShownText.h"

#include <QLabel>
#include <QPushButton>
#include <QWidget>

namespace qzr {

void setUpForm(QWidget *form, const QString &caption, FormStyle style, bool stayOnTop,
               int left, int top, int clientWidth, int clientHeight)
{
    Qt::WindowFlags flags = Qt::Window;
    switch (style) {
    case FormStyle::Normal:
        break;
    case FormStyle::Borderless:
        flags |= Qt::FramelessWindowHint;
        break;
    case FormStyle::SingleBorderNoIcons:
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint;
        break;
    case FormStyle::NoBorderIcons:
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
        break;
    case FormStyle::SystemMenuOnly:
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint;
        break;
    }
    if (stayOnTop)
        flags |= Qt::WindowStaysOnTopHint;
    form->setWindowFlags(flags);
    form->setWindowTitle(caption);
    form->move(left, top);
    form->resize(clientWidth, clientHeight);
    if (style == FormStyle::SingleBorderNoIcons)
        form->setFixedSize(clientWidth, clientHeight);
}

QString plainToolTip(const QString &text)
{
    if (text.isEmpty())
        return text;
    return QStringLiteral("<p style='white-space:pre-wrap'>%1</p>")
        .arg(shownText(text, kMaxShownMessageChars).toHtmlEscaped());
}

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, int x, int y, int w, int h)
{
    auto *label = makeControl<QLabel>(parent, name, x, y, w, h);
    // Labels show camera values: never as markup.
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    return label;
}

QPushButton *makeButton(QWidget *parent, const char *name, const QString &text, int x, int y, int w, int h)
{
    auto *button = makeControl<QPushButton>(parent, name, x, y, w, h);
    // Captions are shown as written: an "&" is no shortcut mark.
    button->setText(QString(text).replace(QLatin1Char('&'), QStringLiteral("&&")));
    return button;
}

void nameAfterLabel(QWidget *control, const QLabel *label)
{
    control->setAccessibleName(label->text().trimmed());
}

} // namespace qzr
