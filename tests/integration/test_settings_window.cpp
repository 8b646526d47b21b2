// The settings window and its options sheet in every language the build makes: every text a user
// reads is translated and fits its widget, every control has a name for screen readers, and Tab
// goes through the controls in reading order.
#include <QAbstractButton>
#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
#include <QTranslator>
#include <cstdlib>
#include <gtest/gtest.h>

#include "app/settings_window.h"
#include "app/sheet_texts.h"
#include "app/translations.h"
#include "module/view/tavrin_screensaver_view.h"
#include "platform/qt/qt_controls.h"
#include "qt_host_test_support.h"
#include "support/temporary_folder.h"

namespace {

/// A text the user reads and the widget that shows it.
struct ShownText {
    QWidget* widget;
    QString text;
};

/// Texts that read the same in some language.
const QStringList kSameInSomeLanguage{QStringLiteral("OK"), QStringLiteral("Options…")};

/// The texts of the window `top` and its visible widgets (not those of windows over it), in a
/// fixed order: window title, labels, buttons and check boxes, group box titles, combo box items.
/// Numbers alone (a slider's value) are no text.
std::vector<ShownText> shownTexts(QWidget* top) {
    std::vector<ShownText> texts{{top, top->windowTitle()}};
    auto add = [&](QWidget* widget, const QString& text) {
        static const QRegularExpression letter(QStringLiteral("[^\\W\\d_]"));
        if (widget->window() == top && widget->isVisible() && text.contains(letter)) texts.push_back({widget, text});
    };
    for (QLabel* label : top->findChildren<QLabel*>()) add(label, label->text());
    for (QAbstractButton* button : top->findChildren<QAbstractButton*>()) add(button, button->text());
    for (QGroupBox* box : top->findChildren<QGroupBox*>()) add(box, box->title());
    for (QComboBox* box : top->findChildren<QComboBox*>())
        for (int i = 0; i < box->count(); ++i) add(box, box->itemText(i));
    return texts;
}

/// Whether the widget's text fits: its size hint (for wrapped text, the height it needs at its
/// width) within its geometry.
bool fits(const QWidget* widget) {
    const QSize hint = widget->sizeHint();
    if (const auto* label = qobject_cast<const QLabel*>(widget); label && label->wordWrap())
        return label->heightForWidth(label->width()) <= label->height();
    return hint.width() <= widget->width() && hint.height() <= widget->height();
}

/// What a screen reader says a widget is called.
QString accessibleName(QWidget* widget) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(QAccessible::Name) : QString();
}

bool reachableByTab(QWidget* widget, QWidget* window) {
    return widget->window() == window && widget->isVisibleTo(window) && widget->isEnabled() &&
           (widget->focusPolicy() & Qt::TabFocus) && !widget->focusProxy();
}

/// The widgets Tab reaches in `window`, in the order it reaches them.
std::vector<QWidget*> tabOrder(QWidget* window) {
    std::vector<QWidget*> order;
    for (QWidget* w = window->nextInFocusChain(); w != window; w = w->nextInFocusChain())
        if (reachableByTab(w, window)) order.push_back(w);
    return order;
}

/// Checks that Tab reaches every control of `window` once, in reading order (the next control is
/// on a lower row, or further right on the same row), and that each has a name. Returns how many.
size_t checkTabOrder(QWidget* window) {
    const std::vector<QWidget*> order = tabOrder(window);
    size_t controls = 0;
    for (QWidget* w : window->findChildren<QWidget*>()) controls += reachableByTab(w, window);
    EXPECT_EQ(order.size(), controls) << "Tab reaches every control once";
    for (size_t i = 0; i < order.size(); ++i) {
        EXPECT_FALSE(accessibleName(order[i]).isEmpty()) << order[i]->metaObject()->className() << " has no name";
        if (i == 0) continue;
        const QRect before(order[i - 1]->mapTo(window, QPoint()), order[i - 1]->size());
        const QRect after(order[i]->mapTo(window, QPoint()), order[i]->size());
        const bool sameRow = after.top() < before.bottom() && before.top() < after.bottom();
        EXPECT_TRUE(sameRow ? after.left() > before.left() : after.top() >= before.bottom())
            << accessibleName(order[i - 1]).toStdString() << " then " << accessibleName(order[i]).toStdString();
    }
    return order.size();
}

class SettingsWindowLanguages : public qttest::QtHostTest {
protected:
    void SetUp() override {
        QtHostTest::SetUp();
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) savedConfigHome_ = old;
        ::setenv("XDG_CONFIG_HOME", config_.path().c_str(), 1);
        qtHost().controls().setTextTranslation(app::sheetText);
    }
    void TearDown() override {
        qtHost().controls().setTextTranslation({});
        if (savedConfigHome_.empty())
            ::unsetenv("XDG_CONFIG_HOME");
        else
            ::setenv("XDG_CONFIG_HOME", savedConfigHome_.c_str(), 1);
    }

    /// Shows the window in the language of `translator` (none: English) and runs `inspectWindow`
    /// on it, then opens the sheet over it and runs `inspect` on both, and takes them down.
    void withWindowAndSheet(QTranslator* translator, const std::function<void(QWidget*, QWidget*)>& inspect,
                            const std::function<void(QWidget*)>& inspectWindow = {}) {
        if (translator) QCoreApplication::installTranslator(translator);
        auto view = tavrin::Tavrin_ScreenSaverView::create(host::NSMakeRect(0, 0, 480, 270), true);
        ASSERT_TRUE(view);
        {
            app::SettingsWindow window(view, qtHost());
            window.show();
            if (inspectWindow) inspectWindow(&window);
            window.optionsButton()->click();
            auto* sheet = dynamic_cast<qtbackend::QtSheetWindow*>(view->configSheet.get());
            ASSERT_NE(sheet, nullptr);
            QWidget* dialog = sheet->dialog();
            ASSERT_TRUE(qttest::spinUntil([&] { return window.isVisible() && dialog->isVisible(); }));
            inspect(&window, dialog);
            view->dismissConfigSheet();
            QCoreApplication::processEvents();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (translator) QCoreApplication::removeTranslator(translator);
    }

    TemporaryFolder config_{"tavrin-settings-window"};
    std::string savedConfigHome_;
};

TEST_F(SettingsWindowLanguages, EveryTextIsTranslatedAndFitsInEveryLanguage) {
    std::vector<QString> english;
    withWindowAndSheet(nullptr, [&](QWidget* window, QWidget* sheet) {
        for (QWidget* top : {window, sheet})
            for (const ShownText& shown : shownTexts(top)) {
                english.push_back(shown.text);
                EXPECT_TRUE(fits(shown.widget)) << "English: '" << shown.text.toStdString() << "' is clipped";
            }
    });
    ASSERT_GT(english.size(), 20u);

    const QDir folder(QStringLiteral(TAVRIN_TEST_TRANSLATIONS));
    const QStringList files = folder.entryList({QStringLiteral("tavrin_*.qm")});
    ASSERT_GE(files.size(), 3) << "the build makes German, French and Spanish";
    for (const QString& file : files) {
        const QString language = file.mid(7, file.size() - 10);
        SCOPED_TRACE(language.toStdString());
        QTranslator translator;
        ASSERT_TRUE(app::loadTranslation(translator, QLocale(language), QStringLiteral("tavrin"), {folder.path()}));
        withWindowAndSheet(&translator, [&](QWidget* window, QWidget* sheet) {
            std::vector<ShownText> shown = shownTexts(window);
            for (const ShownText& text : shownTexts(sheet)) shown.push_back(text);
            ASSERT_EQ(shown.size(), english.size()) << "the same widgets show text in every language";
            for (size_t i = 0; i < shown.size(); ++i) {
                const std::string text = shown[i].text.toStdString();
                EXPECT_TRUE(shown[i].text != english[i] || kSameInSomeLanguage.contains(english[i]))
                    << "'" << text << "' is not translated";
                EXPECT_TRUE(fits(shown[i].widget))
                    << "'" << text << "' needs " << shown[i].widget->sizeHint().width() << "x"
                    << shown[i].widget->sizeHint().height() << " and has " << shown[i].widget->width() << "x"
                    << shown[i].widget->height();
            }
            // A look at both for whoever runs the tests with a folder to put it in.
            if (const char* dir = std::getenv("TAVRIN_SCREENSHOT_DIR")) {
                window->grab().save(QStringLiteral("%1/settings_window_%2.png").arg(QString::fromUtf8(dir), language));
                sheet->grab().save(QStringLiteral("%1/options_sheet_%2.png").arg(QString::fromUtf8(dir), language));
            }
        });
    }
}

TEST_F(SettingsWindowLanguages, TabGoesThroughNamedControlsInReadingOrder) {
    withWindowAndSheet(
        nullptr,
        [](QWidget*, QWidget* sheet) { EXPECT_EQ(checkTabOrder(sheet), 13u) << "8 boxes, 3 sliders, 2 buttons"; },
        [](QWidget* window) { EXPECT_EQ(checkTabOrder(window), 4u) << "Options, the switch, its minutes and the battery choice"; });
}

}  // namespace
