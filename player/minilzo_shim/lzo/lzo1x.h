/* The web build decodes with miniLZO, the single-file form of the same
   library: the stream's and the survey's "lzo/lzo1x.h" resolves here. */
#include "minilzo.h"
