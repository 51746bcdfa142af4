#include "run/campaign_diagnostics.hpp"

#include "common/one_based.hpp"
#include "mechanism/rate_laws.hpp"

namespace box {

CampaignDiagnostics::CampaignDiagnostics(std::vector<std::pair<int, double>> rate_factors)
    : lists_(diag::builtin_diagnostics()), rate_factors_(std::move(rate_factors)) {}

CampaignDiagnostics::CampaignDiagnostics(const Mechanism& mechanism) : lists_(diag::file_diagnostics(mechanism)) {}

SampleDiagnostics CampaignDiagnostics::evaluate(const std::array<double, nspec>& x, double temp, double c_m,
                                          std::span<const double> j, const budget::IntervalIntegrals* open,
                                          double time_h) const {
  std::array<double, nreact> k{};
  racm_update_rconst(j.data(), k.data(), c_m, temp);
  for (const auto& [reaction, factor] : rate_factors_) k[at(reaction)] *= factor;
  std::array<double, nspec> c{};
  for (std::size_t i = 0; i < c.size(); ++i) c[i] = x[i] * c_m;  // air's mole fraction is 1
  return evaluate(c, k, c_m, open, time_h);
}

SampleDiagnostics CampaignDiagnostics::evaluate(std::span<const double> c, std::span<const double> k, double c_m,
                                                const budget::IntervalIntegrals* open, double time_h) const {
  const diag::Diagnostics d = diag::diagnostics_at(lists_, c, k, c_m);
  SampleDiagnostics s{.oh_reactivity = d.oh_reactivity, .ro2 = d.ro2, .p_o3 = d.p_o3, .l_o3 = d.l_o3};
  if (open != nullptr && open->steps > 0 && time_h > open->start_h) {
    // The interval's integrals hold the reactions first, then the other
    // processes.
    const diag::OzoneRates o =
        diag::ozone_rates(lists_, std::span<const double>(open->process).first(k.size()), time_h - open->start_h);
    s.p_o3 = o.p_o3;
    s.l_o3 = o.l_o3;
    s.interval_means = true;
  }
  return s;
}

}  // namespace box
