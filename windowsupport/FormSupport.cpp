#include "windowsupport/FormSupport.h"

#include "protocol/ShownText.h"

#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QWidget>

namespace qzr {

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

namespace {

class StarPasswordStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

void maskWithStars(QLineEdit *field)
{
    auto *style = new StarPasswordStyle;
    style->setParent(field);
    field->setStyle(style);
}

} // namespace qzr
