#pragma once

namespace cadcons {
class TrdmCadConsumidor;
}

namespace cadcons::test {

// The data service the tests' forms share, as the calls of the module share the module's: made at its
// first use, and kept for the test program.
TrdmCadConsumidor& formService();
// Its connection closed, so that the next opening connects to what CADCONS_CONNECTION names by then.
void closeFormService();

} // namespace cadcons::test
