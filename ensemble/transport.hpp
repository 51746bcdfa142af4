#pragma once
// The processes of an ensemble started under MPI (mpirun -np K): rank r
// runs members r, r+K, r+2K, ... on its threads and sends each result to
// rank 0, which writes them all in member order. Without MPI, or when not
// started by an MPI launcher, there is one process and nothing is sent.
#include <memory>
#include <string>
#include <vector>

#include "ensemble/member.hpp"

namespace box::ensemble {

class Transport {
 public:
  virtual ~Transport() = default;
  virtual int rank() const { return 0; }
  virtual int size() const { return 1; }
  // Processes of this job on this machine (for the default thread count).
  virtual int local_size() const { return 1; }
  // To rank 0; returns when rank 0 has started to receive it, so a rank
  // never runs far ahead of the writer.
  virtual void send(const MemberResult&) {}
  // From rank `from`: its next result, in its own member order.
  virtual MemberResult receive(int from);
  // Rank 0's `value`, on every rank.
  virtual int share(int value) { return value; }
  // Ends every process of the job with `status` (after rank 0 could not
  // write its output).
  [[noreturn]] virtual void abort(int status);
  // Whether MPI runs this process.
  virtual bool distributed() const { return false; }
};

// Starts MPI when this program was built with it and the process was
// started by an MPI launcher; otherwise the single process. MPI is ended
// when the object is destroyed.
std::unique_ptr<Transport> start_transport();

// A member's result as bytes and back (what goes over MPI).
std::vector<char> pack(const MemberResult& r);
MemberResult unpack(const std::vector<char>& bytes);

}  // namespace box::ensemble
