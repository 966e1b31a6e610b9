// The port selector picked by the user, and a port closed under a running video mode.
#include <QComboBox>
#include <QTest>

#include "app_fixture.h"
#include "modes.h"
#include "toolkit_internal.h"

namespace {

class Selector : public AppTest {};

TEST_F(Selector, PickingAPortInitialisesItTwiceEachWithItsOwnOutcome) {
    PortTableSetSimulated(2, false);
    sim::Sensor* second = PortSimSensor(2);
    ASSERT_NE(second, nullptr);
    FillPortSelector(panels, link.com);
    auto* ring = qobject_cast<QComboBox*>(qtor::FindControl(panels.panelHandle, DropDCom)->widget);
    ASSERT_NE(ring, nullptr);
    const int index = ring->findData(2);
    ASSERT_GT(index, 0);
    SetCtrlVal(panels.panelHandle, DropDCom, 1);
    DisplayPanel(panels.panelHandle);
    ring->setFocus();

    // The ring reports value changed, then commit: the second initialisation must start
    // only after the first has finished, or the first loses its port in mid-exchange.
    const double t0 = Timer();
    while (ring->currentIndex() != index) QTest::keyClick(ring, Qt::Key_Down);
    while (Timer() - t0 < 0.5 && second->Log().size() < 6) ProcessSystemEvents();
    Pump(0.1);
    EXPECT_EQ(StatusLine(), second->FirmwareText());
    EXPECT_LT(Timer() - t0, TIMEOUT) << "no exchange waited for its time-out";
    std::vector<int> commands;
    for (const auto& f : second->Log()) commands.push_back(f.command);
    EXPECT_EQ(commands, (std::vector<int>{5, 2, 7, 5, 2, 7}));
    EXPECT_EQ(link.com, 2);
    CloseCom(2);
}

TEST_F(Selector, PortClosedUnderVideoModeEndsItByOneTimeOut) {
    Connect();
    SetTestClockStep(0.1);  // time-outs pass in a few event pumps
    double closedAt = 0;
    // Close while a block read waits: the remaining reads must not wait 1.5 s each.
    When([this] { return CountCommand(9) >= 2; },
         [this, &closedAt] {
             closedAt = Timer();
             CloseCom(link.com);
         });
    Fire(BTNVideo, EVENT_COMMIT);
    ASSERT_GT(closedAt, 0);
    // One time-out of the next measure command, with a few pumps of the test clock around it;
    // three block reads each waiting theirs would take four.
    EXPECT_LT(Timer() - closedAt, 2 * TIMEOUT);
    EXPECT_EQ(StatusLine(), "Timeout RS232-Line!");
}

}  // namespace
