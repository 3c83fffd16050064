#include "FundingStepView.h"

#include "RadioRow.h"
#include "StepHeading.h"
#include "TextLabel.h"

#include <QLineEdit>
#include <QProxyStyle>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace corvane {

namespace {

// Masks typed keys with the small bullet of a password field rather than the large circle some
// styles use, which crowds a 12-pixel field.
class KeyFieldStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returned) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return 0x2022;
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }
};

} // namespace

FundingStepView::FundingStepView(const QString& title, const QList<FundingOption>& options,
                                 Binding<QString> selection,
                                 std::optional<Binding<QString>> anthropicApiKey,
                                 std::optional<Binding<QString>> openaiApiKey,
                                 std::optional<Binding<QString>> openrouterApiKey, QWidget* parent)
    : QWidget(parent)
    , m_selection(std::move(selection))
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(new StepHeading(
        title, u"Corvane tries this provider first, in this order if you add more."_s, this));
    layout->addSpacing(22);

    auto* rows = new QVBoxLayout;
    rows->setSpacing(10);
    for (const FundingOption& option : options) {
        const QString id = option.id;
        auto* row = new RadioRow(
            option.name, [this, id] { return m_selection.get() == id; }, [this, id] { select(id); },
            this);
        rows->addWidget(row);
        m_rows.append(row);
    }
    layout->addLayout(rows);

    addKeyBlock(ids::anthropicApi.toString(), u"Anthropic API key"_s, anthropicApiKey);
    addKeyBlock(ids::openaiApi.toString(), u"OpenAI API key"_s, openaiApiKey);
    addKeyBlock(ids::openrouter.toString(), u"OpenRouter API key"_s, openrouterApiKey);
    for (const KeyBlock& key : m_keys)
        layout->addWidget(key.block);

    refresh();
}

void FundingStepView::addKeyBlock(const QString& fundingId, const QString& label,
                                  const std::optional<Binding<QString>>& key)
{
    if (!key)
        return;
    auto* block = new QWidget(this);
    auto* blockLayout = new QVBoxLayout(block);
    blockLayout->setContentsMargins(0, 16, 0, 0); // the space below the rows goes with the block
    blockLayout->setSpacing(6);

    auto* caption = new TextLabel(label, 11, QFont::DemiBold, look::Level::Secondary, block);
    caption->setAlignment(Qt::AlignLeading | Qt::AlignTop);
    auto* field = new QLineEdit(block);
    auto* style = new KeyFieldStyle;
    style->setParent(field);
    field->setStyle(style);
    field->setEchoMode(QLineEdit::Password);
    field->setFont(look::font(12));
    field->setTextMargins(3, 1, 3, 1);
    field->setPlaceholderText(label);
    caption->setBuddy(field); // names the field for screen readers
    blockLayout->addWidget(caption);
    blockLayout->addWidget(field);

    Binding<QString> bound = *key;
    connect(field, &QLineEdit::textChanged, this, [bound](const QString& text) {
        if (text != bound.get())
            bound.set(text);
    });
    m_keys.push_back({fundingId, std::move(bound), block, field});
}

void FundingStepView::refresh()
{
    for (RadioRow* row : std::as_const(m_rows))
        row->refresh();
    const QString selection = m_selection.get();
    bool matched = false;
    for (const KeyBlock& key : m_keys) {
        const bool shown = !matched && key.fundingId == selection;
        matched = matched || shown;
        const QString text = key.key.get();
        if (key.field->text() != text)
            key.field->setText(text);
        key.block->setVisible(shown);
    }
}

QLineEdit* FundingStepView::keyField() const
{
    for (const KeyBlock& key : m_keys) {
        if (!key.block->isHidden())
            return key.field;
    }
    return nullptr;
}

QWidget* FundingStepView::focusTarget() const
{
    if (QLineEdit* field = keyField())
        return field;
    for (RadioRow* row : m_rows) {
        if (row->isChecked())
            return row;
    }
    return m_rows.value(0);
}

void FundingStepView::select(const QString& id)
{
    m_selection.set(id);
    refresh();
    if (QLineEdit* field = keyField())
        field->setFocus(Qt::OtherFocusReason);
}

} // namespace corvane
