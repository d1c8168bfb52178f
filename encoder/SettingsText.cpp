#include "encoder/SettingsText.h"

namespace qzr::settingsfile {

void SettingsText::append(const QString &item, LineEnding ending)
{
    qsizetype length = 0;
    while (length < item.size() && item[length] != u'\r' && item[length] != u'\n')
        ++length;
    m_text += item.left(length);
    if (ending == LineEnding::EndLine)
        endLine();
}

QStringList SettingsText::lines() const
{
    if (m_text.isEmpty())
        return {};
    QStringList result = m_text.split(kLineBreak);
    if (endsWithLineBreak())
        result.removeLast();
    return result;
}

QString encoderMarker(int encoder)
{
    return QLatin1String(kEncoderMarkerPrefix) + QString::number(encoder);
}

} // namespace qzr::settingsfile
