#include "app/AppServices.h"

namespace walkmere {

AppServices::AppServices(IPrompter& p, ISoundPlayer& s, IClock& c,
                         std::unique_ptr<IRegistrySource> reg)
    : prompter(p), sound(s), clock(c), registry(std::move(reg)), link(p, c, registry.get()),
      board(link, table, c), measurement(store, board, table) {
    link.setPacketHandler(&board);
}

AppServices::~AppServices() {
    link.stop();
}

} // namespace walkmere
