/* Builds without the LZO library (the web player, the Windows player)
   decode with miniLZO, the single-file form of the same library: the
   stream's and the survey's "lzo/lzo1x.h" resolves here. */
#include "minilzo.h"
