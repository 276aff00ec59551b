/* SPDX-License-Identifier: LGPL-2.1-or-later */
/*
 * libvrx: operator information of the platform (stand-in for machines
 * without the platform library).
 */
#ifndef VRX_H
#define VRX_H

#ifdef __cplusplus
extern "C" {
#endif

/* The ISO 3166-1 alpha-2 initials ("FI") of the country of a mobile country
 * code ("244") as ITU-T E.212 assigns it. `mnc` is the mobile network code
 * (two or three digits) or empty; it does not change the answer. The result
 * lies in static storage the caller does not free; null for an unknown or
 * malformed code. */
const char *vrx_name_country_initials(const char *mcc, const char *mnc);

#ifdef __cplusplus
}
#endif

#endif
