#include "ui/ComboSelect.h"

#include <QComboBox>

namespace cg {

bool SelectByPrefix(QComboBox *combo, const QString &text)
{
    if (!combo || text.isEmpty())
        return false;
    int index = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0)
        index = combo->findText(text, Qt::MatchStartsWith);
    if (index < 0)
        return false;
    combo->setCurrentIndex(index);
    // An editable box whose index does not move keeps a typed text otherwise.
    if (combo->isEditable())
        combo->setEditText(combo->itemText(index));
    return true;
}

} // namespace cg
