#pragma once
// The species of the mechanism, in the order of their index.
//
// The order is not alphabetical: it is the elimination order of the sparse LU
// factorisation. Species that are only ever produced (SULF, CO2, ORA1, ORA2)
// or only ever consumed (SO2, the primary hydrocarbons) come first, the
// short-lived radicals and the tightly coupled NOx/HOx/Ox core come last, so
// that eliminating in this order creates little fill-in (149 positions).
// Species 1 to 78 are integrated; H2O and M (air, the third body) are held
// fixed during a chemistry step.
//
// BOX_SPECIES(X) calls X(index, lower_name, UPPER_NAME) once per species.
// parameters.hpp turns it into the constants ind_<lower_name>, the reaction
// table into the species names its reactions are written with.
#define BOX_SPECIES(X) \
  X( 1, sulf, SULF) \
  X( 2, co2, CO2) \
  X( 3, ora1, ORA1) \
  X( 4, ora2, ORA2) \
  X( 5, br2, BR2) \
  X( 6, so2, SO2) \
  X( 7, o1d, O1D) \
  X( 8, n2o5, N2O5) \
  X( 9, hc5, HC5) \
  X(10, tol, TOL) \
  X(11, xyl, XYL) \
  X(12, hobr, HOBR) \
  X(13, hc8, HC8) \
  X(14, hc3, HC3) \
  X(15, eth, ETH) \
  X(16, udd, UDD) \
  X(17, ch4, CH4) \
  X(18, hbr, HBR) \
  X(19, hno4, HNO4) \
  X(20, op1, OP1) \
  X(21, hono, HONO) \
  X(22, h2o2, H2O2) \
  X(23, pho, PHO) \
  X(24, addt, ADDT) \
  X(25, addx, ADDX) \
  X(26, hket, HKET) \
  X(27, ete, ETE) \
  X(28, addc, ADDC) \
  X(29, bro, BRO) \
  X(30, paa, PAA) \
  X(31, hno3, HNO3) \
  X(32, pan, PAN) \
  X(33, co, CO) \
  X(34, api, API) \
  X(35, br, BR) \
  X(36, lim, LIM) \
  X(37, dien, DIEN) \
  X(38, csl, CSL) \
  X(39, gly, GLY) \
  X(40, tpan, TPAN) \
  X(41, etep, ETEP) \
  X(42, iso, ISO) \
  X(43, oltp, OLTP) \
  X(44, olip, OLIP) \
  X(45, mgly, MGLY) \
  X(46, cslp, CSLP) \
  X(47, ket, KET) \
  X(48, limp, LIMP) \
  X(49, hc5p, HC5P) \
  X(50, hc8p, HC8P) \
  X(51, tolp, TOLP) \
  X(52, xylp, XYLP) \
  X(53, apip, APIP) \
  X(54, isop, ISOP) \
  X(55, onit, ONIT) \
  X(56, macr, MACR) \
  X(57, xo2, XO2) \
  X(58, ald, ALD) \
  X(59, olt, OLT) \
  X(60, oli, OLI) \
  X(61, olnn, OLNN) \
  X(62, olnd, OLND) \
  X(63, hcho, HCHO) \
  X(64, dcb, DCB) \
  X(65, tco3, TCO3) \
  X(66, ethp, ETHP) \
  X(67, ketp, KETP) \
  X(68, aco3, ACO3) \
  X(69, ho2, HO2) \
  X(70, op2, OP2) \
  X(71, o3p, O3P) \
  X(72, mo2, MO2) \
  X(73, hc3p, HC3P) \
  X(74, no3, NO3) \
  X(75, o3, O3) \
  X(76, ho, HO) \
  X(77, no, NO) \
  X(78, no2, NO2) \
  X(79, h2o, H2O) \
  X(80, m, M)
