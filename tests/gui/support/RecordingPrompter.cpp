#include "support/RecordingPrompter.h"

#include <QStringList>

namespace zov::gui::test {

RecordingPrompter::RecordingPrompter() { SetPrompter(this); }

RecordingPrompter::~RecordingPrompter() { SetPrompter(nullptr); }

Prompter::Answer RecordingPrompter::Show(QWidget*, const Box& box) {
    QMutexLocker lock(&mutex_);
    boxes_.append(box);
    return script_.isEmpty() ? box.defaultAnswer : script_.takeFirst();
}

void RecordingPrompter::Script(QList<Answer> answers) {
    QMutexLocker lock(&mutex_);
    script_ = std::move(answers);
}

QList<Prompter::Box> RecordingPrompter::Boxes() const {
    QMutexLocker lock(&mutex_);
    return boxes_;
}

QStringList RecordingPrompter::Texts() const {
    QMutexLocker lock(&mutex_);
    QStringList texts;
    for (const Box& box : boxes_) texts.append(box.text);
    return texts;
}

}  // namespace zov::gui::test
