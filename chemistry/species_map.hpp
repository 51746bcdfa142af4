#pragma once
// Where each of the mechanism's 78 variable species lives on the driver's
// side. Long-lived species and the few radicals the driver tracks in its
// concentration vector come from a slot of `vc`; the other short-lived
// radicals are carried by the driver in separate variables (RadicalSlots).
// The same place receives the species back after the step.
#include <array>

#include "chemistry/step_inputs.hpp"
#include "chemistry/concentration_slots.hpp"
#include "common/one_based.hpp"
#include "mechanism/parameters.hpp"

namespace box {

struct SpeciesSource {
  int ind;                         // mechanism species (ind_*)
  int vc_slot;                     // driver slot (l*), or 0 for a radical slot
  double RadicalSlots::*radical;   // radical variable, when vc_slot is 0
};

constexpr SpeciesSource from_vc(int ind, int slot) { return {ind, slot, nullptr}; }
constexpr SpeciesSource from_radical(int ind, double RadicalSlots::*member) {
  return {ind, 0, member};
}

// In mechanism order, so that entry k describes var(k).
inline constexpr std::array<SpeciesSource, nvar> species_map{{
    from_vc(ind_sulf, lsulf),        from_vc(ind_co2, lco2),
    from_vc(ind_ora1, lora1),        from_vc(ind_ora2, lora2),
    from_vc(ind_br2, lbr2),          from_vc(ind_so2, lso2),
    from_radical(ind_o1d, &RadicalSlots::o1d),
    from_vc(ind_n2o5, ln2o5),        from_vc(ind_hc5, lhc5),
    from_vc(ind_tol, ltol),          from_vc(ind_xyl, lxyl),
    from_vc(ind_hobr, lhobr),        from_vc(ind_hc8, lhc8),
    from_vc(ind_hc3, lhc3),          from_vc(ind_eth, leth),
    from_vc(ind_udd, ludd),          from_vc(ind_ch4, lch4),
    from_vc(ind_hbr, lhbr),          from_vc(ind_hno4, lhno4),
    from_vc(ind_op1, lop1),          from_vc(ind_hono, lhono),
    from_vc(ind_h2o2, lh2o2),
    from_radical(ind_pho, &RadicalSlots::rpho),
    from_radical(ind_addt, &RadicalSlots::addt),
    from_radical(ind_addx, &RadicalSlots::addx),
    from_vc(ind_hket, lhket),        from_vc(ind_ete, lete),
    from_radical(ind_addc, &RadicalSlots::addc),
    from_vc(ind_bro, lbro),          from_vc(ind_paa, lpaa),
    from_vc(ind_hno3, lhno3),        from_vc(ind_pan, lpan),
    from_vc(ind_co, lco),            from_vc(ind_api, lapi),
    from_vc(ind_br, lbr),            from_vc(ind_lim, llim),
    from_vc(ind_dien, ldien),        from_vc(ind_csl, lcsl),
    from_vc(ind_gly, lgly),          from_vc(ind_tpan, ltpan),
    from_radical(ind_etep, &RadicalSlots::etep),
    from_vc(ind_iso, liso),
    from_radical(ind_oltp, &RadicalSlots::oltp),
    from_radical(ind_olip, &RadicalSlots::olip),
    from_vc(ind_mgly, lmgly),
    from_radical(ind_cslp, &RadicalSlots::cslp),
    from_vc(ind_ket, lket),
    from_radical(ind_limp, &RadicalSlots::limp),
    from_radical(ind_hc5p, &RadicalSlots::hc5p),
    from_radical(ind_hc8p, &RadicalSlots::hc8p),
    from_radical(ind_tolp, &RadicalSlots::tolp),
    from_radical(ind_xylp, &RadicalSlots::xylp),
    from_radical(ind_apip, &RadicalSlots::apip),
    from_radical(ind_isop, &RadicalSlots::isop),
    from_vc(ind_onit, lonit),        from_vc(ind_macr, lmacr),
    from_radical(ind_xo2, &RadicalSlots::xo2),
    from_vc(ind_ald, lald),          from_vc(ind_olt, lolt),
    from_vc(ind_oli, loli),
    from_radical(ind_olnn, &RadicalSlots::olnn),
    from_radical(ind_olnd, &RadicalSlots::olnd),
    from_vc(ind_hcho, lhcho),        from_vc(ind_dcb, ldcb),
    from_radical(ind_tco3, &RadicalSlots::tco3),
    from_radical(ind_ethp, &RadicalSlots::ethp),
    from_radical(ind_ketp, &RadicalSlots::ketp),
    from_vc(ind_aco3, laco3),        from_vc(ind_ho2, lho2),
    from_vc(ind_op2, lop2),
    from_radical(ind_o3p, &RadicalSlots::o3p),
    from_radical(ind_mo2, &RadicalSlots::mo2),
    from_radical(ind_hc3p, &RadicalSlots::hc3p),
    from_vc(ind_no3, lno3),          from_vc(ind_o3, lo3),
    from_vc(ind_ho, lho),            from_vc(ind_no, lno),
    from_vc(ind_no2, lno2),
}};

// The driver's variable that holds the species of `s`.
inline double& driver_value(const SpeciesSource& s, double* vc, RadicalSlots& radicals) noexcept {
  return s.vc_slot != 0 ? vc[at(s.vc_slot)] : radicals.*(s.radical);
}

namespace detail {
constexpr bool species_map_is_in_mechanism_order() {
  for (int k = 0; k < nvar; ++k)
    if (species_map[k].ind != k + 1) return false;
  return true;
}
constexpr int count_vc_sources() {
  int n = 0;
  for (const auto& s : species_map) n += s.vc_slot != 0 ? 1 : 0;
  return n;
}
}  // namespace detail

static_assert(detail::species_map_is_in_mechanism_order());

// 53 species from the concentration vector, 25 from the radical variables.
static_assert(detail::count_vc_sources() == 53);

}  // namespace box
