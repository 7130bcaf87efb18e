#include "controls/FieldWidth.h"

#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

#include <algorithm>

void FitWidthToCharacters(QLineEdit *edit, int characters) {
    const QFontMetrics metrics = edit->fontMetrics();
    const int wanted = metrics.averageCharWidth() * characters;
    const int text = metrics.horizontalAdvance(edit->text()) + metrics.averageCharWidth();
    const int inner = std::clamp(text, wanted, 2 * wanted);
    // The frame and margins around the text, as the style draws them.
    QStyleOptionFrame option;
    option.initFrom(edit);
    const QMargins margins = edit->textMargins();
    const QSize outer = edit->style()->sizeFromContents(
        QStyle::CT_LineEdit, &option, QSize(inner + margins.left() + margins.right(), metrics.height()), edit);
    edit->setMinimumWidth(outer.width());
}
