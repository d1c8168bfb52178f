#pragma once
// What a form made by setupUi() from a qzr-form-shots Designer file needs
// after setupUi(): the one thing the file format cannot order right.
#include <QComboBox>
#include <QVariant>
#include <QWidget>

namespace qzr::formshots {

// setupUi() sets a combo box's currentIndex after everything else, which
// replaces the text of an editable combo box; the dumped file keeps such a
// text (a prompt over no chosen item, say) as the dynamic property
// "editText". This puts it back, for every combo box of the form.
inline void applyEditTexts(QWidget *form)
{
    for (QComboBox *combo : form->findChildren<QComboBox *>()) {
        const QVariant text = combo->property("editText");
        if (text.isValid() && combo->isEditable())
            combo->setEditText(text.toString());
    }
}

} // namespace qzr::formshots
