#include "windowsupport/FormSupport.h"

#include "protocol/ShownText.h"

#include <QLineEdit>
#include <QProxyStyle>

namespace qzr {

QString plainToolTip(const QString &text)
{
    if (text.isEmpty())
        return text;
    return QStringLiteral("<p style='white-space:pre-wrap'>%1</p>")
        .arg(shownText(text, kMaxShownMessageChars).toHtmlEscaped());
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
