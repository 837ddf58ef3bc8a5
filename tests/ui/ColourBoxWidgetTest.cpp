#include "gui/ColourBoxWidget.h"

#include "UiTestSupport.h"
#include "gui/QtTranslations.h"

#include <QAbstractItemView>
#include <QTranslator>
#include <gtest/gtest.h>

using namespace quill;
using namespace quill::test;

TEST(ColourBoxWidget, namedColoursShowSwatchesInAListThatStaysShort)
{
    ColourBoxWidget box;
    EXPECT_EQ(box.maxVisibleItems(), 20);
    ASSERT_GT(box.count(), 50);
    for (int i = 1; i < box.count(); ++i)
        EXPECT_FALSE(box.itemIcon(i).isNull()) << box.itemText(i).toStdString();
    EXPECT_GE(box.findText(u("BtnFace")), 0); // the system colours are there, with swatches
    box.show();
    box.showPopup();
    const QAbstractItemView* popup = box.view();
    EXPECT_LE(popup->height(), 21 * popup->sizeHintForRow(1) + 8);
    box.hidePopup();
}

TEST(QtTranslations, qtsOwnDialogsSpeakChinese)
{
    QTranslator* translator = installQtTranslations(*QCoreApplication::instance());
    ASSERT_NE(translator, nullptr) << "qt6-translations-l10n is missing";
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), u("取消"));
    QCoreApplication::removeTranslator(translator);
    delete translator;
}
