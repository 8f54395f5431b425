#include "SettingText.h"

QString SettingText::Error(const QString& what, const QString& text) {
    if (text.toUtf8().size() > Max)
        return QString("%1 too long (max %2 characters).").arg(what).arg(Max);
    if (text.trimmed() != text) return what + " can not begin or end with a blank.";
    return {};
}
