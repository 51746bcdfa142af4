#include "ensemble/member.hpp"

#include <cfenv>
#include <optional>
#include <string_view>

#include "common/errors.hpp"
#include "common/one_based.hpp"
#include "driver/fp_environment.hpp"
#include "driver/run.hpp"
#include "integrator/controls.hpp"
#include "output/species_selection.hpp"

namespace box::ensemble {
namespace {

// Keeps the selected species of every sample.
class Collector final : public RunObserver {
 public:
  Collector(MemberResult& result, const std::vector<int>& species) : result_(result), species_(species) {}
  void sample(const OutputSample& s) override {
    result_.time_h.push_back(s.time_h);
    result_.elapsed_s.push_back(s.elapsed_s);
    for (int ind : species_) result_.values.push_back(s.mole_fraction[at(ind)]);
  }

 private:
  MemberResult& result_;
  const std::vector<int>& species_;
};

// Thrown when the flags show what a trap would have stopped on.
struct Stopped {
  std::string message;
};

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

}  // namespace

std::vector<int> ensemble_species(const Definition& d) {
  const Scenario base = parse_scenario(d.base_text, d.base.generic_string(), d.base.parent_path(),
                                       output_overrides(d));
  switch (base.output.species.kind) {
    case SpeciesSelection::Kind::table: return table_species();
    case SpeciesSelection::Kind::all: return all_species();
    case SpeciesSelection::Kind::list: break;
  }
  return base.output.species.list;
}

std::size_t samples_of(const Scenario& s) {
  const int steps = s.total_steps();
  const int every = s.steps_per_output();
  return static_cast<std::size_t>((steps + every - 1) / every) + 1;
}

MemberResult run_member(const Definition& d, std::size_t index, const std::vector<int>& species,
                        TextOutput& discard) {
  MemberResult result;
  result.index = index;
  const auto fail = [&](MemberStatus status, std::string message) {
    result.status = status;
    result.message = std::move(message);
  };
  Collector collector(result, species);
  std::optional<Run> run;
  // What a trapped run would have stopped on since the flags were cleared.
  const auto check_flags = [&](const char* where) {
    const int raised = stopping_exceptions(std::fetestexcept(FE_ALL_EXCEPT));
    if (raised == 0) return;
    std::string message = std::string("floating-point exception: ") + exception_name(raised);
    if (*where != '\0') message += std::string(" ") + where;
    else message += " in step " + std::to_string(run->steps_done()) + " of " + std::to_string(run->total_steps());
    throw Stopped{message + "; the member is stopped"};
  };
  try {
    std::feclearexcept(FE_ALL_EXCEPT);
    Scenario scenario = member_scenario(d, index);
    SiteData site = load_site(scenario);
    check_flags("while reading the inputs");
    run.emplace(std::move(scenario), discard, std::move(site));
    run->add_observer(collector);
    run->start();
    check_flags("while starting");
    const std::size_t per_sample = species.size();
    result.time_h.reserve(samples_of(run->scenario()));
    result.elapsed_s.reserve(samples_of(run->scenario()));
    result.values.reserve(samples_of(run->scenario()) * per_sample);
    while (run->steps_done() < run->total_steps()) {
      std::feclearexcept(FE_ALL_EXCEPT);
      run->step();
      check_flags("");
      // The run goes on after a failed integration, as the single run
      // does, so the values are the single run's; the member is marked.
      if (!run->last_step().ok() && result.ok())
        fail(MemberStatus::integration,
             "integration failed in step " + std::to_string(run->steps_done()) + " of " +
                 std::to_string(run->total_steps()) + ": " + std::string(trimmed(ierr_names(run->last_step().status))));
    }
    std::feclearexcept(FE_ALL_EXCEPT);
    run->finish();
    check_flags("at the end of the run");
  } catch (const Stopped& s) {
    fail(MemberStatus::floating_point, s.message);
  } catch (const InputError& e) {
    fail(MemberStatus::input, e.what());
  } catch (const std::exception& e) {
    fail(MemberStatus::input, e.what());
  }
  std::feclearexcept(FE_ALL_EXCEPT);
  return result;
}

}  // namespace box::ensemble
