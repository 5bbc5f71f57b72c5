#pragma once
// Selecting a stored or found text in a combo box, the same way in every
// window.

#include <QString>

class QComboBox;

namespace cg {

// Selects the item equal to text, or else the first item that begins with
// text, letter case ignored ("宏达" picks the item 宏达, not 宏达五金 above
// it). An empty text selects nothing, and neither does a text no item
// begins with: then the box is left exactly as it was and the result is
// false. An editable box shows the chosen item's text.
bool SelectByPrefix(QComboBox *combo, const QString &text);

} // namespace cg
