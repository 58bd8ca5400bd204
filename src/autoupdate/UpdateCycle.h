// Windows only. The update itself, once the decision has accepted an
// announcement: ask or tell the user as the announcement demands, download
// the new setup, check that it belongs to this product, stop the product,
// run the setup, record the new version and restart the product.
#pragma once

namespace tarnix {

// True when the new setup ran to its end.
bool PerformAutoUpdate();

}  // namespace tarnix
