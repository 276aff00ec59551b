/* SPDX-License-Identifier: LGPL-2.1-or-later */
#ifndef ONDRIX_GLOBAL_H
#define ONDRIX_GLOBAL_H

/* Everything the library exports carries this mark; the rest stays hidden. */
#if defined(ONDRIX_BUILDING_LIBRARY)
#  define ONDRIX_EXPORT __attribute__((visibility("default")))
#else
#  define ONDRIX_EXPORT
#endif

#endif
