#include "ensemble/transport.hpp"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace box::ensemble {
namespace {

struct Header {
  std::uint64_t index, samples, values, message;
  std::int32_t status, spin_up_days;
};

template <class T>
void append(std::vector<char>& out, const T* data, std::size_t count) {
  const char* p = reinterpret_cast<const char*>(data);
  out.insert(out.end(), p, p + count * sizeof(T));
}

template <class T>
void take(const std::vector<char>& in, std::size_t& at, T* data, std::size_t count) {
  if (at + count * sizeof(T) > in.size()) throw std::runtime_error("a member's result arrived cut short");
  if (count != 0) std::memcpy(data, in.data() + at, count * sizeof(T));
  at += count * sizeof(T);
}

}  // namespace

std::vector<char> pack(const MemberResult& r) {
  const Header h{r.index, r.time_h.size(), r.values.size(), r.message.size(), static_cast<std::int32_t>(r.status),
                 static_cast<std::int32_t>(r.spin_up_days)};
  std::vector<char> out;
  out.reserve(sizeof h + (2 * h.samples + h.values) * sizeof(double) + h.message);
  append(out, &h, 1);
  append(out, r.time_h.data(), r.time_h.size());
  append(out, r.elapsed_s.data(), r.elapsed_s.size());
  append(out, r.values.data(), r.values.size());
  append(out, r.message.data(), r.message.size());
  return out;
}

MemberResult unpack(const std::vector<char>& bytes) {
  Header h{};
  std::size_t at = 0;
  take(bytes, at, &h, 1);
  MemberResult r;
  r.index = h.index;
  r.status = static_cast<MemberStatus>(h.status);
  r.spin_up_days = h.spin_up_days;
  r.time_h.resize(h.samples);
  r.elapsed_s.resize(h.samples);
  r.values.resize(h.values);
  r.message.resize(h.message);
  take(bytes, at, r.time_h.data(), h.samples);
  take(bytes, at, r.elapsed_s.data(), h.samples);
  take(bytes, at, r.values.data(), h.values);
  take(bytes, at, r.message.data(), h.message);
  if (at != bytes.size()) throw std::runtime_error("a member's result arrived with extra bytes");
  return r;
}

MemberResult Transport::receive(int) { throw std::logic_error("a single process receives nothing"); }

void Transport::abort(int status) { std::exit(status); }

#ifndef BOXMODEL_HAVE_MPI
std::unique_ptr<Transport> start_transport() { return std::make_unique<Transport>(); }
#endif

}  // namespace box::ensemble
