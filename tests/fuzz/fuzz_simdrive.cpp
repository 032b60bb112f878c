// Arbitrary bytes from the PC into the virtual drive: every decoded request gets an
// answer that encodes and decodes back to itself, whatever the request holds.
#include "LineCodec.h"
#include "VirtualDrive.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zeb7;
  sim::VirtualDrive drive(sim::defaultDrive());
  sim::LineCodec in, check;
  in.feed(data, size, [&](const TTelegram& req) {
    if (req.ttType != ttNormal) return;
    TTelegram ans = drive.answer(req);
    if (ans.ttType == ttNone) return;
    if (ans.bIdent != req.bIdent) std::abort();
    std::vector<uint8_t> bytes = check.encode(ans);
    int frames = 0;
    check.feed(bytes.data(), bytes.size(), [&](const TTelegram& back) {
      ++frames;
      if (back.ttType != ans.ttType || back.bIdent != ans.bIdent) std::abort();
      if (ans.ttType == ttNormal &&
          (back.bCommand != ans.bCommand || back.bLength != ans.bLength ||
           !std::equal(ans.baData.begin(), ans.baData.begin() + ans.bLength, back.baData.begin())))
        std::abort();
    });
    if (frames != 1) std::abort();
  });
  return 0;
}
