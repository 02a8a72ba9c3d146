#include "RynColor.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPalette>

void SetComboColor(QComboBox *combo, std::uint32_t bgr)
{
    if (!combo)
        return;
    const QColor wanted = RynToQColor(bgr);
    if (combo->palette().color(QPalette::Text) == wanted)
        return;

    QLineEdit *edit = combo->lineEdit();
    const QString text = combo->currentText();
    const int selStart = edit ? edit->selectionStart() : -1;
    const int selLength = edit ? edit->selectedText().size() : 0;
    const int cursor = edit ? edit->cursorPosition() : 0;

    QPalette pal = combo->palette();
    pal.setColor(QPalette::Text, wanted);
    pal.setColor(QPalette::ButtonText, wanted);
    pal.setColor(QPalette::WindowText, wanted);
    combo->setPalette(pal);

    if (edit) {
        if (edit->text() != text)
            edit->setText(text);
        if (selStart >= 0)
            edit->setSelection(selStart, selLength);
        else
            edit->setCursorPosition(cursor);
    }
}
