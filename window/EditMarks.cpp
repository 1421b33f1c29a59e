#include "window/EditMarks.h"

#include <QLineEdit>
#include <QPalette>

namespace editmarks {

void MarkError(QLineEdit* edit) {
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, ErrorBase);
    palette.setColor(QPalette::Text, ErrorText);
    edit->setPalette(palette);
}

void MarkEdited(QLineEdit* edit, bool edited) {
    if (!edited) return Clear(edit);
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, EditedBase);
    edit->setPalette(palette);
}

void Clear(QLineEdit* edit) { edit->setPalette(QPalette()); }

}  // namespace editmarks
