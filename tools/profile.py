#!/usr/bin/env python3
"""Where the time of a run goes, and how close the mechanism kernels come to
the machine.

  tools/profile.py run CALLGRIND_OUT
      Shares of a whole run's instructions: rate coefficients, right-hand
      side, Jacobian, factorisation, solve, the integrator's own work (step
      loop, vector kernels, error norm, step-size control), the chemistry
      step's unit conversion, formatting, output, input, the sun and the
      photolysis rates, and start-up. A function's own instructions are
      split among the groups of its callers in proportion to the
      instructions of each call, so shared helpers (memcpy, exp, pow) land
      where they are used.

  tools/profile.py kernels GENERATED_DIR [--callgrind OUT]
                   [--bench BENCH_JSON] [--ghz GHZ]
      Floating-point operations of the four generated kernels, counted from
      their straight-line source (every operator between values; the
      constant indices carry no arithmetic). With a callgrind profile of a
      run: instructions per call. With the JSON output of bench_mechanism
      (--benchmark_format=json) and a clock rate: nanoseconds and estimated
      cycles per call, operations per cycle, and the ratio of the measured
      time to the time the operations need at one per cycle.

tools/profile-run.sh runs the model under callgrind and calls both.
"""
import argparse
import json
import re
import sys
from collections import defaultdict


# ---------------------------------------------------------------------------
# Callgrind output: own cost per function, and the inclusive cost of every
# call edge.

def read_callgrind(path):
    own = defaultdict(int)
    edges = defaultdict(int)  # (caller, callee) -> inclusive Ir of the calls
    calls = defaultdict(int)  # callee -> number of calls
    names = {}
    npos = 1
    fn = cfn = None
    pending_call = False

    def name_of(reference):
        # callgrind names a function once as "(id) name", then as "(id)".
        m = re.match(r"\((\d+)\)(?:\s+(.*))?$", reference.strip())
        if not m:
            return reference.strip()
        if m.group(2) is not None:
            names[m.group(1)] = m.group(2)
        return names[m.group(1)]

    with open(path) as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("positions:"):
                npos = len(line.split()[1:])
            elif line.startswith("fn="):
                fn = name_of(line[3:])
            elif line.startswith("cfn="):
                cfn = name_of(line[4:])
            elif line.startswith("calls="):
                calls[cfn] += int(line[6:].split()[0])
                pending_call = True
            elif line and (line[0].isdigit() or line[0] in "+-*"):
                fields = line.split()
                cost = int(fields[npos]) if len(fields) > npos else 0
                if pending_call:
                    edges[(fn, cfn)] += cost
                    pending_call = False
                else:
                    own[fn] += cost
    return own, edges, calls


def short(name):
    """The function's qualified name without its parameter list."""
    depth = 0
    for i, c in enumerate(name):
        if c == "<":
            depth += 1
        elif c == ">":
            depth -= 1
        elif c == "(" and depth == 0 and i > 0:
            return name[:i]
    return name


# Groups of a run, each rooted at the functions whose names start with one
# of its prefixes. Earlier groups win when a name matches several.
GROUPS = [
    ("rate coefficients", ["box::racm_update_rconst", "box::racm_update_photolysis_rconst"]),
    ("right-hand side", ["box::racm_fun"]),
    ("Jacobian", ["box::racm_jac_sp"]),
    ("LU factorisation", ["box::decomp_racm"]),
    ("triangular solve", ["box::racm_solve"]),
    ("integrator: step loop, vector kernels, error norm",
     ["box::Rosenbrock<", "box::RosenbrockControl"]),
    ("chemistry step: units, clipping", ["box::ChemistryStep::"]),
    ("output: stdio writes", ["box::TextOutput::write_text"]),
    ("formatting: progress lines, table rows",
     ["box::Run::write_progress", "box::progress_line", "box::species_table",
      "box::startup_line", "box::TextOutput::write_free",
      "box::TextOutput::write_line", "box::free_", "box::fixed_field",
      "box::exponent_field", "box::label_field"]),
    ("input files", ["box::SiteFile", "box::FreeFormatReader", "box::read_"]),
    ("sun and photolysis rates",
     ["box::zenith", "box::declin", "box::clear_sky_ratio", "box::site_constants",
      "box::reload_photoj", "box::scale_photoj", "box::photolysis_arguments",
      "box::base_photolysis_table"]),
]
OTHER = "start-up, loader, rest of the driver"


def group_of(name):
    s = short(name)
    for group, prefixes in GROUPS:
        if any(s.startswith(p) for p in prefixes):
            return group
    return None


def attribute(own, edges):
    """Own cost of every function split over groups along the call graph."""
    callers = defaultdict(list)
    for (caller, callee), cost in edges.items():
        if caller != callee:
            callers[callee].append((caller, cost))
    share = {}
    visiting = set()

    def shares(fn):
        if fn in share:
            return share[fn]
        g = group_of(fn)
        if g is not None:
            share[fn] = {g: 1.0}
            return share[fn]
        if fn in visiting or not callers[fn]:  # a cycle, or a root of the run
            return {OTHER: 1.0}
        visiting.add(fn)
        total = sum(c for _, c in callers[fn])
        mix = defaultdict(float)
        for caller, cost in callers[fn]:
            w = cost / total if total else 1.0 / len(callers[fn])
            for k, v in shares(caller).items():
                mix[k] += w * v
        visiting.discard(fn)
        share[fn] = dict(mix)
        return share[fn]

    sys.setrecursionlimit(100000)
    result = defaultdict(float)
    for fn, cost in own.items():
        for g, w in shares(fn).items():
            result[g] += w * cost
    return result


def cmd_run(args):
    own, edges, _ = read_callgrind(args.callgrind)
    total = sum(own.values())
    by_group = attribute(own, edges)
    print(f"{'share of the run':<52} {'instructions':>14} {'%':>6}")
    for group in [g for g, _ in GROUPS] + [OTHER]:
        ir = by_group.get(group, 0.0)
        print(f"{group:<52} {ir:>14,.0f} {100 * ir / total:>6.2f}")
    print(f"{'total':<52} {total:>14,} {100.0:>6.2f}")


# ---------------------------------------------------------------------------
# Operation counts of the generated kernels.

# The factorisation the integrator calls forms its matrix (0 - J, plus the
# shift on the diagonal) as it goes; those operations are counted with it.
KERNELS = [("racm_fun", "racm_fun.cpp"), ("racm_jac_sp", "racm_jac_sp.cpp"),
           ("decomp_racm_shifted", "decomp_racm_shifted.cpp"),
           ("racm_solve", "racm_solve.cpp")]


def count_operations(path):
    """Multiplications, additions/subtractions, divisions and sign changes of
    the value assignments, and the pivot tests."""
    mul = add = div = neg = tests = 0
    with open(path) as f:
        for line in f:
            code = line.split("//")[0].strip()
            if code.startswith("if (!(std::fabs("):
                tests += 1
                continue
            if code.startswith("negate2("):  # two entries copied as 0.0 - x
                add += 2
                continue
            m = re.match(r"^(?:const )?(?:double )?[\w\[\]-]+ = (.*);$", code)
            if not m:
                continue
            rhs = re.sub(r"\[[^\]]*\]", "", m.group(1))
            mul += rhs.count(" * ")
            div += rhs.count(" / ")
            add += rhs.count(" + ") + rhs.count(" - ")
            if rhs.startswith("-"):
                neg += 1
    return {"mul": mul, "add": add, "div": div, "flops": mul + add + div,
            "neg": neg, "tests": tests}


def bench_times(path):
    """Nanoseconds per call of each kernel from bench_mechanism's JSON, the
    matrix copy of the factorisation's benchmark taken off."""
    with open(path) as f:
        data = json.load(f)
    ns = {}
    for b in data["benchmarks"]:
        if b.get("run_type", "iteration") != "iteration":
            continue
        scale = {"ns": 1.0, "us": 1e3, "ms": 1e6}[b.get("time_unit", "ns")]
        name = b["name"].removeprefix("BM_")
        t = b["cpu_time"] * scale
        ns[name] = min(ns.get(name, t), t)
    if "decomp_racm" in ns and "copy_matrix" in ns:
        ns["decomp_racm"] -= ns["copy_matrix"]
    return ns


def cmd_kernels(args):
    counts = {k: count_operations(f"{args.generated}/{src}") for k, src in KERNELS}
    per_call = {}
    if args.callgrind:
        own, _, calls = read_callgrind(args.callgrind)
        for k, _ in KERNELS:
            # The kernel that ran: a kernel built in several forms for
            # different instruction sets also has a resolver, called once.
            fn = max((n for n in own if short(n) == f"box::{k}" and calls.get(n)),
                     key=lambda n: own[n], default=None)
            if fn:
                per_call[k] = (own[fn] / calls[fn], calls[fn])
    ns = bench_times(args.bench) if args.bench else {}

    head = f"{'kernel':<20} {'mul':>5} {'add':>5} {'div':>4} {'flops':>6}"
    if per_call:
        head += f" {'calls/run':>9} {'instr/call':>10} {'instr/flop':>10}"
    if ns:
        head += f" {'ns/call':>8} {'cycles':>7} {'flop/cyc':>8} {'t/t(1fpc)':>9}"
    print(head)
    for k, _ in KERNELS:
        c = counts[k]
        row = f"{k:<20} {c['mul']:>5} {c['add']:>5} {c['div']:>4} {c['flops']:>6}"
        if per_call:
            ir, n = per_call.get(k, (0, 0))
            row += f" {n:>9} {ir:>10.0f} {ir / c['flops']:>10.2f}"
        if ns and k in ns:
            cycles = ns[k] * args.ghz
            row += (f" {ns[k]:>8.1f} {cycles:>7.0f} {c['flops'] / cycles:>8.2f}"
                    f" {cycles / c['flops']:>9.2f}")
        print(row)
    print("(sign changes not counted: "
          + ", ".join(f"{k} {counts[k]['neg']}" for k, _ in KERNELS if counts[k]["neg"])
          + f"; pivot tests in decomp_racm_shifted: {counts['decomp_racm_shifted']['tests']})")
    if ns:
        print(f"cycles = ns x {args.ghz} GHz; t/t(1fpc) is the measured time over the "
              "time of one operation per cycle (target: at most 2)")


def main():
    p = argparse.ArgumentParser(description=__doc__,
                                formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = p.add_subparsers(dest="command", required=True)
    r = sub.add_parser("run", help="shares of a whole run")
    r.add_argument("callgrind")
    k = sub.add_parser("kernels", help="operations, instructions and time per kernel")
    k.add_argument("generated", help="directory of the generated kernels")
    k.add_argument("--callgrind")
    k.add_argument("--bench", help="bench_mechanism --benchmark_format=json output")
    k.add_argument("--ghz", type=float, default=0.0)
    args = p.parse_args()
    if args.command == "kernels" and args.bench and args.ghz <= 0:
        p.error("--bench needs --ghz")
    {"run": cmd_run, "kernels": cmd_kernels}[args.command](args)


if __name__ == "__main__":
    main()
