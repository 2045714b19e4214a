#include "song.h"

namespace vorlith::assets {

ItModule makeSong() {
  ItModule m;
  m.name = "The Brim Tale";
  m.speed = songSpeed;
  m.tempo = songTempo;
  m.channelPan = {32};
  m.patterns.push_back(ItPattern(64, 1));
  for (int i = 0; i < songOrders; ++i) m.orders.push_back(0);
  return m;
}

}  // namespace vorlith::assets
