// The information texts the program places in the header strip of the main panel.
#include <QApplication>
#include <QLabel>
#include <utility>
#include <vector>

#include "app_fixture.h"
#include "toolkit_internal.h"

// Each text lies whole inside the strip, its glyphs clear of every other text's.
TEST_F(AppTest, InformationTextsFitTheHeaderWithoutOverlapping) {
    DisplayPanel(panels.panelHandle);
    qtor::Panel* p = qtor::FindPanel(panels.panelHandle);
    ASSERT_NE(p, nullptr);
    const int first = p->nextNewCtrl;
    InitVars(station);
    QApplication::processEvents();
    std::vector<std::pair<QString, QRect>> placed;
    for (int id = first; id < p->nextNewCtrl; ++id) {
        auto* label = qobject_cast<QLabel*>(p->controls.at(id).widget.data());
        ASSERT_NE(label, nullptr);
        const QString text = label->text();
        ASSERT_EQ(label->parentWidget(), p->header.data()) << qPrintable(text);
        const QFontMetrics fm(label->font());
        const QRect ink(label->pos(), QSize(fm.horizontalAdvance(text), fm.height()));
        EXPECT_GE(label->width(), ink.width()) << qPrintable(text);
        EXPECT_TRUE(p->header->rect().contains(ink)) << qPrintable(text);
        for (const auto& [other, rect] : placed)
            EXPECT_FALSE(ink.intersects(rect)) << qPrintable(text) << " / " << qPrintable(other);
        placed.emplace_back(text, ink);
    }
    EXPECT_EQ(placed.size(), 5u);
}
