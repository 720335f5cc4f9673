// The collective operations over MPI: reductions and scans by MPI itself, the tree of Combine and
// the transfers of variable length by point-to-point messages on the context's own communicator.
#include "mpi_context.h"

#include <algorithm>
#include <cstdlib>

namespace kelmath_cli {

namespace {

// Every point-to-point message has this tag: messages between two ranks are matched in the order
// they were sent, and every operation consumes all of its own before returning.
constexpr int kTag = 1;
// MPI counts are int: longer transfers go in pieces of this many bytes (or elements).
constexpr long long kPiece = 1LL << 30;

int PieceAt(long long done, long long total) {
  return static_cast<int>(std::min(kPiece, total - done));
}

template <typename T>
void AllReduceInPlace(T* values, long long count, MPI_Datatype type, MPI_Op operation,
                      MPI_Comm communicator) {
  for (long long done = 0; done < count; done += kPiece)
    MPI_Allreduce(MPI_IN_PLACE, values + done, PieceAt(done, count), type, operation, communicator);
}

}  // namespace

bool LaunchedByMpirun() {
  return std::getenv("OMPI_COMM_WORLD_SIZE") != nullptr;
}

MpiContext::MpiContext(int& argc, char**& argv) {
  int provided = 0;
  MPI_Init_thread(&argc, &argv, MPI_THREAD_FUNNELED, &provided);
  MPI_Comm_dup(MPI_COMM_WORLD, &communicator);
  MPI_Comm_rank(communicator, &rank);
  MPI_Comm_size(communicator, &size);
}

MpiContext::~MpiContext() {
  MPI_Comm_free(&communicator);
  MPI_Finalize();
}

void MpiContext::SumAll(std::vector<double>& values) {
  AllReduceInPlace(values.data(), static_cast<long long>(values.size()), MPI_DOUBLE, MPI_SUM,
                   communicator);
}

void MpiContext::SumAll(std::vector<long long>& values) {
  AllReduceInPlace(values.data(), static_cast<long long>(values.size()), MPI_LONG_LONG, MPI_SUM,
                   communicator);
}

double MpiContext::MaxAll(double value) {
  AllReduceInPlace(&value, 1, MPI_DOUBLE, MPI_MAX, communicator);
  return value;
}

long long MpiContext::ExclusivePrefixSum(long long value) {
  long long lower = 0;
  MPI_Exscan(&value, &lower, 1, MPI_LONG_LONG, MPI_SUM, communicator);
  // MPI leaves rank 0's result undefined.
  return rank == 0 ? 0 : lower;
}

void MpiContext::Send(const void* bytes, long long count, int to) {
  MPI_Send(&count, 1, MPI_LONG_LONG, to, kTag, communicator);
  const char* start = static_cast<const char*>(bytes);
  for (long long done = 0; done < count; done += kPiece)
    MPI_Send(start + done, PieceAt(done, count), MPI_BYTE, to, kTag, communicator);
}

template <typename Buffer>
void MpiContext::Receive(Buffer& buffer, int from) {
  long long count = 0;
  MPI_Recv(&count, 1, MPI_LONG_LONG, from, kTag, communicator, MPI_STATUS_IGNORE);
  buffer.resize(static_cast<size_t>(count) / sizeof(typename Buffer::value_type));
  char* start = reinterpret_cast<char*>(buffer.data());
  for (long long done = 0; done < count; done += kPiece)
    MPI_Recv(start + done, PieceAt(done, count), MPI_BYTE, from, kTag, communicator,
             MPI_STATUS_IGNORE);
}

template <typename Buffer>
void MpiContext::BroadcastBuffer(Buffer& buffer, int root) {
  long long count =
      rank == root ? static_cast<long long>(buffer.size() * sizeof(typename Buffer::value_type))
                   : 0;
  MPI_Bcast(&count, 1, MPI_LONG_LONG, root, communicator);
  buffer.resize(static_cast<size_t>(count) / sizeof(typename Buffer::value_type));
  char* start = reinterpret_cast<char*>(buffer.data());
  for (long long done = 0; done < count; done += kPiece)
    MPI_Bcast(start + done, PieceAt(done, count), MPI_BYTE, root, communicator);
}

// At step s (1, 2, 4, ...) a rank whose number is an odd multiple of s hands its state to the
// rank s below and is done; the others take in the state of the rank s above, when there is
// one. The merges, and so the rounding, depend on the number of ranks only.
std::vector<double> MpiContext::Combine(std::vector<double> state, const Merge& merge) {
  for (int step = 1; step < size; step *= 2) {
    if (rank % (2 * step) != 0) {
      Send(state.data(), static_cast<long long>(state.size() * sizeof(double)), rank - step);
      break;
    }
    if (rank + step < size) {
      std::vector<double> other;
      Receive(other, rank + step);
      merge(state, other);
    }
  }
  BroadcastBuffer(state, 0);
  return state;
}

std::vector<std::string> MpiContext::GatherToRoot(const std::string& bytes) {
  if (rank != 0) {
    Send(bytes.data(), static_cast<long long>(bytes.size()), 0);
    return {};
  }
  std::vector<std::string> all(static_cast<size_t>(size));
  all[0] = bytes;
  for (int from = 1; from < size; ++from) Receive(all[static_cast<size_t>(from)], from);
  return all;
}

std::string MpiContext::Broadcast(std::string bytes, int root) {
  BroadcastBuffer(bytes, root);
  return bytes;
}

std::optional<RankProblem> MpiContext::AgreeOnProblems(
    const std::optional<std::string>& localProblem) {
  int candidate = localProblem ? rank : size;
  AllReduceInPlace(&candidate, 1, MPI_INT, MPI_MIN, communicator);
  if (candidate == size) return std::nullopt;
  return RankProblem{candidate, Broadcast(rank == candidate ? *localProblem : "", candidate)};
}

void MpiContext::AbortRun(int status) {
  MPI_Abort(communicator, status);
  std::_Exit(status);
}

}  // namespace kelmath_cli
