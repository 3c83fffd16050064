#pragma once

// Stand-in for the questions screen while the real one is built elsewhere: the same constructor
// and default-action contract, offering the seeded answers with one "Install" button.

#include "flow/ScreenData.h"
#include "model/InstallAnswers.h"

#include <QWidget>

#include <functional>

namespace corvane {

class QuestionsModel;

class QuestionsView : public QWidget {
    Q_OBJECT
public:
    QuestionsView(const QuestionsData& record, std::function<void(const InstallAnswers&)> onInstall,
                  QWidget* parent = nullptr);

private:
    QuestionsModel* m_model;
};

} // namespace corvane
