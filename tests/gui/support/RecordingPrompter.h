#pragma once

#include <QList>
#include <QMutex>

#include "gui/shell/Prompter.h"

namespace zov::gui::test {

// Test prompter: installed for its life, records every box and answers from a script (then the default).
class RecordingPrompter : public Prompter {
  public:
    RecordingPrompter();
    ~RecordingPrompter() override;

    Answer Show(QWidget* owner, const Box& box) override;

    // Answers given to the next boxes, in order; once used up, each box gets its default answer.
    void Script(QList<Answer> answers);
    QList<Box> Boxes() const;
    // The texts of the boxes shown so far.
    QStringList Texts() const;

  private:
    mutable QMutex mutex_;
    QList<Box> boxes_;
    QList<Answer> script_;
};

}  // namespace zov::gui::test
