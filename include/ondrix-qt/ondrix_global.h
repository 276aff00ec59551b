/* SPDX-License-Identifier: LGPL-2.1-or-later */
#ifndef ONDRIX_GLOBAL_H
#define ONDRIX_GLOBAL_H

/** @file ondrix_global.h
 * @brief The export mark: everything the library exports carries it; the rest stays hidden. */
#if defined(ONDRIX_BUILDING_LIBRARY)
#  define ONDRIX_EXPORT __attribute__((visibility("default")))
#else
#  define ONDRIX_EXPORT
#endif

#endif
