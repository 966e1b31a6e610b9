// Test hooks of the serial layer.
#pragma once

// Errors the device behind `port` reported since it was last opened (the vanished-device
// storm must stay a handful, not thousands).
int ComErrorCount(int port);
