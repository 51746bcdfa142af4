// ensemble.nc: the members' samples as (member, time) variables.
#include <algorithm>
#include <cmath>
#include <limits>
#include <type_traits>

#include "common/errors.hpp"
#include "common/version.hpp"
#include "ensemble/outputs.hpp"
#include "mechanism/species_lookup.hpp"
#include "output/netcdf_library.hpp"
#include "output/netcdf_writer.hpp"
#include "output/partial_file.hpp"

namespace box::ensemble {
namespace {

constexpr std::size_t message_width = 512;
constexpr double missing = std::numeric_limits<double>::quiet_NaN();

class NetcdfFile final : public OutputFile {
 public:
  NetcdfFile(const std::filesystem::path& dir, const Layout& layout)
      : path_(dir / netcdf_name), partial_(partial_path(path_)), nc_(netcdf_library(path_)), layout_(layout) {
    check(nc_.create(partial_.c_str(), NC_CLOBBER | NC_64BIT_OFFSET, &ncid_), "create the file");
    define();
    block_.species.resize(layout_.species.size());
    block_.numbers.resize(layout_.varied.size());
    block_.texts.resize(layout_.varied.size());
  }
  ~NetcdfFile() override {
    if (ncid_ >= 0) nc_.close(ncid_);
  }

  // Members arrive in order and are kept in a block of consecutive ones,
  // written a variable at a time when the block is full: a few large
  // writes instead of one small write per member and variable all over the
  // file.
  void member(const MemberResult& r, const std::vector<VariedValue>& varied) override {
    if (block_.empty()) first_ = r.index;
    const std::size_t times = layout_.times;
    const std::size_t n = layout_.species.size();
    const std::size_t samples = std::min(r.samples(), times);
    const std::size_t row = block_.members++;
    const auto rows = [&](std::vector<double>& v) {
      v.resize(block_.members * times, missing);
      return v.begin() + static_cast<std::ptrdiff_t>(row * times);
    };
    std::copy_n(r.time_h.begin(), samples, rows(block_.time_h));
    for (std::size_t sp = 0; sp < n; ++sp) {
      auto out = rows(block_.species[sp]);
      for (std::size_t k = 0; k < samples; ++k) out[static_cast<std::ptrdiff_t>(k)] = r.values[k * n + sp];
    }
    block_.number.push_back(static_cast<int>(r.index));
    block_.status.push_back(static_cast<int>(r.status));
    block_.spin_up_days.push_back(r.spin_up_days);
    append_text(block_.message, r.message, message_width);
    for (std::size_t v = 0; v < varied.size(); ++v) {
      if (const auto* x = std::get_if<double>(&varied[v])) block_.numbers[v].push_back(*x);
      else append_text(block_.texts[v], std::get<std::string>(varied[v]), layout_.varied[v].width);
    }
    if (block_.members == block_size) write_block();
  }

  void finish() override {
    write_block();
    const int ncid = std::exchange(ncid_, -1);
    check(nc_.close(ncid), "close the file");
    publish(partial_, path_);
  }

 private:
  void check(int status, const std::string& doing) const {
    if (status != NC_NOERR) throw OutputError(partial_.string() + ": cannot " + doing + ": " + nc_.strerror(status));
  }
  void attribute(int var, const std::string& name, std::string_view value) {
    check(nc_.put_att_text(ncid_, var, name.c_str(), value.size(), value.data()), "write the attribute " + name);
  }
  // Text cut to the variable's width and padded with NULs (the fill).
  static void append_text(std::vector<char>& out, const std::string& text, std::size_t width) {
    const std::size_t length = std::min(text.size(), width);
    out.insert(out.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length));
    out.resize(out.size() + width - length, '\0');
  }

  void write_block() {
    const std::size_t m = block_.members;
    if (m == 0) return;
    const std::string doing = "write members " + std::to_string(first_) + " to " + std::to_string(first_ + m - 1);
    const std::size_t start[] = {first_, 0};
    const auto put = [&](int var, std::size_t width, const auto* data) {
      const std::size_t count[] = {m, width};
      if constexpr (std::is_same_v<std::remove_cvref_t<decltype(*data)>, double>)
        check(nc_.put_vara_double(ncid_, var, start, count, data), doing);
      else if constexpr (std::is_same_v<std::remove_cvref_t<decltype(*data)>, int>)
        check(nc_.put_vara_int(ncid_, var, start, count, data), doing);
      else
        check(nc_.put_vara_text(ncid_, var, start, count, data), doing);
    };
    put(member_var_, 1, block_.number.data());
    put(time_h_var_, layout_.times, block_.time_h.data());
    for (std::size_t sp = 0; sp < species_vars_.size(); ++sp) put(species_vars_[sp], layout_.times, block_.species[sp].data());
    for (std::size_t v = 0; v < varied_vars_.size(); ++v) {
      if (layout_.varied[v].text) put(varied_vars_[v], layout_.varied[v].width, block_.texts[v].data());
      else put(varied_vars_[v], 1, block_.numbers[v].data());
    }
    put(status_var_, 1, block_.status.data());
    if (spin_up_days_var_ >= 0) put(spin_up_days_var_, 1, block_.spin_up_days.data());
    put(message_var_, message_width, block_.message.data());
    block_.clear();
  }
  int variable(const std::string& name, nc_type type, std::initializer_list<int> dims) {
    int var = -1;
    const std::vector<int> d(dims);
    check(nc_.def_var(ncid_, name.c_str(), type, static_cast<int>(d.size()), d.data(), &var), "define the variable " + name);
    return var;
  }
  int dimension(const std::string& name, std::size_t length) {
    int dim = -1;
    check(nc_.def_dim(ncid_, name.c_str(), length, &dim), "define the dimension " + name);
    return dim;
  }

  void define() {
    const int member_dim = dimension("member", layout_.members);
    const int time_dim = dimension("time", layout_.times);

    member_var_ = variable("member", NC_INT, {member_dim});
    attribute(member_var_, "long_name", "ensemble member (0 is the members table's first row)");
    const int time_var = variable("time", NC_DOUBLE, {time_dim});
    attribute(time_var, "long_name", "time since the start of the base scenario's run");
    attribute(time_var, "units", layout_.time_units);
    if (layout_.time_units != "s") {
      attribute(time_var, "standard_name", "time");
      attribute(time_var, "calendar", "standard");
    }
    attribute(time_var, "axis", "T");
    time_h_var_ = variable("time_h", NC_DOUBLE, {member_dim, time_dim});
    attribute(time_h_var_, "long_name", "local time of the member's sample, hours since its first day's midnight");
    attribute(time_h_var_, "units", "h");
    check(nc_.put_att_double(ncid_, time_h_var_, "_FillValue", NC_DOUBLE, 1, &missing), "write the fill value");

    for (std::size_t k = 0; k < layout_.species.size(); ++k) {
      const std::string& name = layout_.species_names[k];
      const int var = variable(name, NC_DOUBLE, {member_dim, time_dim});
      species_vars_.push_back(var);
      attribute(var, "long_name", "mole fraction of " + name + " in air");
      attribute(var, "units", "mol mol-1");
      const std::string_view standard = cf_mole_fraction_name(name);
      if (!standard.empty()) attribute(var, "standard_name", standard);
      check(nc_.put_att_double(ncid_, var, "_FillValue", NC_DOUBLE, 1, &missing), "write the fill value");
    }

    for (const VariedKey& v : layout_.varied) {
      int var = -1;
      if (v.text) {
        var = variable(v.key, NC_CHAR, {member_dim, dimension(v.key + "_length", v.width)});
      } else {
        var = variable(v.key, NC_DOUBLE, {member_dim});
      }
      attribute(var, "long_name", v.reaction > 0 ? "factor on the rate coefficient of reaction R" +
                                                       std::to_string(v.reaction) + " (random)"
                                                 : "scenario key " + v.key + " of the member");
      varied_vars_.push_back(var);
    }

    status_var_ = variable("status", NC_INT, {member_dim});
    attribute(status_var_, "long_name", "how the member ended");
    const int flags[] = {0, 1, 3, 4, 5};
    const std::size_t statuses = layout_.spin_up ? 5 : 4;
    check(nc_.put_att_int(ncid_, status_var_, "flag_values", NC_INT, statuses, flags), "write the flag values");
    attribute(status_var_, "flag_meanings", std::string("success input_error floating_point_exception integration_failure") +
                                                (layout_.spin_up ? " spin_up_not_converged" : ""));
    if (layout_.spin_up) {
      spin_up_days_var_ = variable("spin_up_days", NC_INT, {member_dim});
      attribute(spin_up_days_var_, "long_name", "days of the member's spin-up (-1: it failed before its run)");
      attribute(spin_up_days_var_, "units", "1");
    }
    message_var_ = variable("message", NC_CHAR, {member_dim, dimension("message_length", message_width)});
    attribute(message_var_, "long_name", "why the member failed; empty for success");

    const std::string program = std::string("boxmodel ") + program_version();
    attribute(NC_GLOBAL, "title", "Box model ensemble: mole fractions of the chemical species");
    attribute(NC_GLOBAL, "Conventions", "CF-1.8");
    attribute(NC_GLOBAL, "source", program);
    attribute(NC_GLOBAL, "history", "written by " + program + " ensemble");
    for (const auto& [key, value] : layout_.attributes) attribute(NC_GLOBAL, key, value);
    check(nc_.enddef(ncid_), "write the file header");

    const std::size_t start = 0, count = layout_.times;
    check(nc_.put_vara_double(ncid_, time_var, &start, &count, layout_.time_s.data()), "write the times");
  }

  static constexpr std::size_t block_size = 256;

  struct Block {
    std::size_t members = 0;
    std::vector<double> time_h;
    std::vector<std::vector<double>> species;  // per species: members x times
    std::vector<std::vector<double>> numbers;  // per varied key
    std::vector<std::vector<char>> texts;      // per varied key: members x width
    std::vector<int> number, status, spin_up_days;
    std::vector<char> message;
    bool empty() const { return members == 0; }
    void clear() {
      members = 0;
      time_h.clear();
      for (auto& v : species) v.clear();
      for (auto& v : numbers) v.clear();
      for (auto& v : texts) v.clear();
      number.clear();
      status.clear();
      spin_up_days.clear();
      message.clear();
    }
  };

  std::filesystem::path path_, partial_;
  const NetcdfLibrary& nc_;
  const Layout& layout_;
  Block block_;
  std::size_t first_ = 0;
  int ncid_ = -1;
  int member_var_ = -1, time_h_var_ = -1, status_var_ = -1, message_var_ = -1, spin_up_days_var_ = -1;
  std::vector<int> species_vars_, varied_vars_;
};

}  // namespace

std::unique_ptr<OutputFile> open_netcdf(const std::filesystem::path& dir, const Layout& layout) {
  return std::make_unique<NetcdfFile>(dir, layout);
}

}  // namespace box::ensemble
