#pragma once

#include "Binding.h"
#include "model/Catalog.h"

#include <QList>
#include <QWidget>

#include <optional>
#include <vector>

class QLineEdit;

namespace corvane {

class RadioRow;

// A funding step: a heading, one radio row per option in order, and, when the selection is a
// funding id paid with a key whose binding was given, a masked field for that key:
//   "anthropic-api" with anthropicApiKey, "openai-api" with openaiApiKey, "openrouter" with
//   openrouterApiKey.
// Any other selection, or a matching id without its binding, shows no key field. Ids compare
// exactly.
//
// The panel keeps no copy of the bound values: a row writes its option's id through selection, a
// key field writes its whole text through its binding after every change. Choosing an option whose
// key field then shows moves the keyboard focus into that field. The owner calls refresh() when
// the bound values may have changed by other means (another panel bound to the same key).
class FundingStepView : public QWidget {
    Q_OBJECT
public:
    FundingStepView(const QString& title, const QList<FundingOption>& options,
                    Binding<QString> selection, std::optional<Binding<QString>> anthropicApiKey,
                    std::optional<Binding<QString>> openaiApiKey,
                    std::optional<Binding<QString>> openrouterApiKey, QWidget* parent = nullptr);

    // Shows the bound selection and keys.
    void refresh();

    // The key field shown for the current selection, or null.
    QLineEdit* keyField() const;

    // The control to focus when the step comes up: the key field when one shows, else the
    // selected row, else the first row.
    QWidget* focusTarget() const;

private:
    struct KeyBlock {
        QString fundingId;
        Binding<QString> key;
        QWidget* block;
        QLineEdit* field;
    };

    void select(const QString& id);
    void addKeyBlock(const QString& fundingId, const QString& label,
                     const std::optional<Binding<QString>>& key);

    Binding<QString> m_selection;
    QList<RadioRow*> m_rows;
    std::vector<KeyBlock> m_keys; // in the order they are matched against the selection
};

} // namespace corvane
