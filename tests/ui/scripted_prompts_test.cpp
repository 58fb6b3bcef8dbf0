#include <gtest/gtest.h>

#include <QFileInfo>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>

#include "support/scripted_prompts.h"

namespace {

TEST(ScriptedPrompts, EmptyQueuesAnswerCancelAndRecordIt) {
    ScopedPrompts prompts;
    Prompts& p = Prompts::instance();
    ASSERT_EQ(&p, &*prompts);
    p.message(nullptr, QStringLiteral("Nie można odczytać ustawień"), Prompts::Icon::Warning);
    EXPECT_EQ(p.question(nullptr, QStringLiteral("Na pewno?")), Prompts::Answer::Dismissed);
    EXPECT_FALSE(p.openFile(nullptr, {QStringLiteral("Otwórz"), {}, QStringLiteral("kvr"), {}}));
    EXPECT_FALSE(p.color(nullptr, Qt::red));
    EXPECT_FALSE(p.font(nullptr, QFont()));
    ASSERT_EQ(prompts->questions.size(), 1u);
    EXPECT_TRUE(prompts->questions[0].defaulted);
    EXPECT_TRUE(prompts->fileRequests.at(0).defaulted);
    EXPECT_EQ(prompts->fileRequests.at(0).request.defaultSuffix, QStringLiteral("kvr"));
    EXPECT_EQ(prompts->messages.at(0).icon, Prompts::Icon::Warning);
    EXPECT_EQ(prompts->log.size(), 5);
}

TEST(ScriptedPrompts, QueuedAnswersInOrderAndGuardRestores) {
    Prompts* before = &Prompts::instance();
    {
        ScopedPrompts prompts;
        prompts->questionAnswers = {true, false, Prompts::Answer::Dismissed};
        prompts->answerFile(QStringLiteral("/tmp/a.kvz"), 1);
        EXPECT_EQ(Prompts::instance().question(nullptr, QStringLiteral("1")), Prompts::Answer::Yes);
        EXPECT_EQ(Prompts::instance().question(nullptr, QStringLiteral("2")), Prompts::Answer::No);
        EXPECT_EQ(Prompts::instance().question(nullptr, QStringLiteral("3")),
                  Prompts::Answer::Dismissed);
        const auto f = Prompts::instance().saveFile(nullptr, {});
        ASSERT_TRUE(f);
        EXPECT_EQ(f->path, QStringLiteral("/tmp/a.kvz"));
        EXPECT_EQ(f->filterIndex, 1);
        EXPECT_FALSE(prompts->questions[2].defaulted);
    }
    EXPECT_EQ(&Prompts::instance(), before);
}

TEST(ScriptedPrompts, PrintHandsThePdfFileToThePrinter) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString pdf = dir.filePath(QStringLiteral("lista.pdf"));
    ScopedPrompts prompts;
    prompts->printAnswers.push_back({true, true, pdf, {}});
    QPrinter printer;
    bool selection = false;
    ASSERT_TRUE(Prompts::instance().print(nullptr, printer, true, selection));
    EXPECT_TRUE(selection);
    EXPECT_EQ(printer.outputFileName(), pdf);
    {
        QPainter p(&printer);
        p.drawText(100, 100, QStringLiteral("Spis materiałów"));
    }
    EXPECT_GT(QFileInfo(pdf).size(), 100);
    // Queue empty: cancelled, no selection claimed.
    selection = false;
    EXPECT_FALSE(Prompts::instance().print(nullptr, printer, false, selection));
    EXPECT_TRUE(prompts->printRequests.back().defaulted);
}

}  // namespace
