#!/usr/bin/env python3
"""Renders an animation through a real single-node Slurm cluster and checks
every frame pixel for pixel against a render of that frame in one process.

As root it starts, in a fresh temporary folder, munged with a fresh key (its
own socket, pid, log and seed files), slurmctld and slurmd (the node named
with -N) from a slurm.conf found through SLURM_CONF: controller localhost,
node address 127.0.0.1, ports chosen free at start, proctrack/linuxproc, no
accounting, state and spool folders in the temporary folder, MaxArraySize 8
so that the job must be chunked, credentials that expire after 5 s (a
requeued job waits that long, plus a second, before it may start again;
Slurm's default is 120 s) and a scheduler that looks every second. It waits
(bounded) for the node to be idle,
submits, waits (bounded) for the jobs, compares, and at the end, on failure
too, cancels what is left and stops every daemon it started by its PID.

--mode tiles: `nocturnia farm slurm DOC --frames 1-5x2 --tiles 4 --submit` of an
animated 96 x 64 document: 12 (frame, tile) renders in 6 array tasks of 2,
and an assembly per frame; the original document is edited right after
submitting, which must change nothing. Submitted held, each assembly is seen
to wait for its own frame's tasks alone; released, task 2 (frame 3's tiles 0
and 1) has itself requeued after its first tile, as a node failure would,
and run again it skips that tile (its log says so) while frames 1 and 5 are
assembled already. Every frame equals its one-process render and the tiles
are removed; a second job with --keep-tiles, submitted by its submit.sh,
keeps them. Needs `render --frames/--frame/--tile` and `assemble`; without
them the test says SKIPPED with the reason.
--mode whole-frames: the harness alone, with `render` as it is without
frames or tiles: an array of 3 whole renders (each its own Gamma) and a job
that depends on it (afterok), against one-process renders; and `farm slurm`
writes its job reading the cluster's MaxArraySize.

Exit status 77 (skipped) when Slurm or munge is missing or not root.
"""

import argparse
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from exr_pixels import same_pixels  # noqa: E402

SKIPPED = 77
NODE = "nocturnia-farm-node"
NODE_IDLE_SECONDS = 60
JOBS_SECONDS = 150
DAEMON_PROGRAMS = ("mungekey", "munged", "slurmctld", "slurmd", "sbatch", "scontrol", "squeue", "sinfo", "scancel")
GAMMA_ID = "20204"


class Failure(Exception):
    pass


def skip(reason):
    print(f"SKIPPED: {reason}")
    sys.exit(SKIPPED)


def find_program(name):
    found = shutil.which(name)
    if not found:
        for folder in ("/usr/sbin", "/sbin", "/usr/bin"):
            candidate = os.path.join(folder, name)
            if os.access(candidate, os.X_OK):
                return candidate
    return found


def run(arguments, timeout=60, check=True, **kwargs):
    result = subprocess.run(arguments, capture_output=True, text=True, timeout=timeout,
                            stdin=subprocess.DEVNULL, **kwargs)
    if check and result.returncode != 0:
        raise Failure(f"{' '.join(arguments)} exited {result.returncode}:\n{result.stdout}{result.stderr}")
    return result


def free_ports(count):
    """Ports free on 127.0.0.1 now (held open together, so they differ)."""
    sockets = []
    try:
        for _ in range(count):
            s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            s.bind(("127.0.0.1", 0))
            sockets.append(s)
        return [s.getsockname()[1] for s in sockets]
    finally:
        for s in sockets:
            s.close()


class Cluster:
    """munged, slurmctld and slurmd of a temporary folder, stopped by PID."""

    def __init__(self, folder, programs):
        self.folder = folder
        self.programs = programs
        self.daemons = []  # (name, Popen)
        self.conf = os.path.join(folder, "slurm.conf")
        self.environment = {k: v for k, v in os.environ.items() if not k.startswith("SLURM_")}
        self.environment["SLURM_CONF"] = self.conf

    def path(self, *parts):
        return os.path.join(self.folder, *parts)

    def start(self):
        for sub in ("munge", "state", "spool", "logs"):
            os.makedirs(self.path(sub), mode=0o700)
        key = self.path("munge", "munge.key")
        run([self.programs["mungekey"], "--create", "--keyfile", key])
        socket_path = self.path("munge", "munge.socket")
        self.spawn("munged", [self.programs["munged"], "--foreground", "--force", f"--key-file={key}",
                              f"--socket={socket_path}", f"--pid-file={self.path('munge', 'munged.pid')}",
                              f"--log-file={self.path('logs', 'munged.log')}",
                              f"--seed-file={self.path('munge', 'munged.seed')}", "--origin=127.0.0.1"])
        self.wait_for(lambda: os.path.exists(socket_path), 15, "munged's socket")

        controller_port, node_port = free_ports(2)
        cpus = min(2, os.cpu_count() or 1)
        with open(self.conf, "w", encoding="utf-8") as conf:
            conf.write(f"""# A one-node cluster on loopback for the farm test.
ClusterName=nocturniatest
SlurmctldHost=localhost
SlurmctldPort={controller_port}
SlurmdPort={node_port}
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket={socket_path},cred_expire=5
StateSaveLocation={self.path('state')}
SlurmdSpoolDir={self.path('spool')}
SlurmctldPidFile={self.path('slurmctld.pid')}
SlurmdPidFile={self.path('slurmd.pid')}
SlurmctldLogFile={self.path('logs', 'slurmctld.log')}
SlurmdLogFile={self.path('logs', 'slurmd.log')}
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
MailProg=/bin/true
MpiDefault=none
SchedulerType=sched/builtin
SchedulerParameters=sched_interval=1
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU_Memory
MaxArraySize=8
MinJobAge=600
ReturnToService=2
SlurmdParameters=config_overrides
NodeName={NODE} NodeAddr=127.0.0.1 CPUs={cpus} RealMemory=2048 State=UNKNOWN
PartitionName=farmtest Nodes={NODE} Default=YES MaxTime=INFINITE State=UP
""")
        self.spawn("slurmctld", [self.programs["slurmctld"], "-D", "-i", "-f", self.conf])
        self.spawn("slurmd", [self.programs["slurmd"], "-D", "-N", NODE, "-f", self.conf])
        self.wait_for(lambda: self.node_state() == "idle", NODE_IDLE_SECONDS, f"node {NODE} to be idle")
        print(f"cluster up: slurmctld on 127.0.0.1:{controller_port}, slurmd {NODE} on :{node_port}, "
              f"daemons {', '.join(f'{n} {p.pid}' for n, p in self.daemons)}")

    def spawn(self, name, arguments):
        log = open(self.path("logs", f"{name}.out"), "w", encoding="utf-8")
        process = subprocess.Popen(arguments, stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                                   env=self.environment, start_new_session=True)
        log.close()
        self.daemons.append((name, process))
        time.sleep(0.2)
        if process.poll() is not None:
            raise Failure(f"{name} ended at once with status {process.returncode}")

    def wait_for(self, ready, seconds, what):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            for name, process in self.daemons:
                if process.poll() is not None:
                    raise Failure(f"{name} ended with status {process.returncode} while waiting for {what}")
            if ready():
                return
            time.sleep(0.5)
        raise Failure(f"gave up after {seconds} s waiting for {what}")

    def client(self, name, *arguments, check=True):
        return run([self.programs[name], *arguments], env=self.environment, check=check)

    def node_state(self):
        result = self.client("sinfo", "-h", "-N", "-n", NODE, "-o", "%T", check=False)
        return result.stdout.strip() if result.returncode == 0 else ""

    def queue_empty(self):
        result = self.client("squeue", "-h", "-o", "%i", check=False)
        return result.returncode == 0 and result.stdout.strip() == ""

    def wait_for_jobs(self, jobs):
        """Waits until no job is queued or running; each job's task states."""
        self.wait_for(self.queue_empty, JOBS_SECONDS, f"jobs {', '.join(jobs)} to end")
        states = {}
        for job in jobs:
            shown = self.client("scontrol", "-o", "show", "job", job).stdout
            states[job] = re.findall(r"JobState=(\S+)", shown)
        return states

    def stop(self):
        # Whatever is still queued or running in this private cluster first,
        # so that no job outlives slurmd.
        if any(name == "slurmctld" and process.poll() is None for name, process in self.daemons):
            left = self.client("squeue", "-h", "-o", "%A", check=False).stdout.split()
            if left:
                self.client("scancel", *sorted(set(left)), check=False)
                deadline = time.monotonic() + 15
                while time.monotonic() < deadline and not self.queue_empty():
                    time.sleep(0.5)
        for name, process in reversed(self.daemons):
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
                try:
                    process.wait(timeout=15)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait(timeout=5)
            print(f"stopped {name} (pid {process.pid}, status {process.returncode})")
        self.daemons = []

    def show_logs(self):
        for name in sorted(os.listdir(self.path("logs"))):
            with open(self.path("logs", name), encoding="utf-8", errors="replace") as log:
                lines = log.read().splitlines()[-15:]
            print(f"--- {name} (last lines)\n" + "\n".join(lines))


def small_document(source, folder, animated):
    """The example at 96 x 64; animated: Gamma and Rotate move over frames 1-5."""
    with open(source, encoding="utf-8") as file:
        document = json.load(file)
    document["render"] = {"width": 96, "height": 64, "samples": 2}
    shader = document["material"]["shader"]
    if not animated:
        shader.pop("tracks", None)
        path = os.path.join(folder, "still.json")
        with open(path, "w", encoding="utf-8") as file:
            json.dump(document, file, indent=1)
        return path
    shader["tracks"] = [track for track in shader.get("tracks", []) if track["id"] not in (20204, 5008)] + [
        {"id": 20204, "name": "Gamma", "keys": [[1, {"real": 0.7}], [5, {"real": 1.9}]]},
        {"id": 5008, "name": "Rotate", "keys": [[1, {"real": 0.0}], [5, {"real": 0.6}]]},
    ]
    path = os.path.join(folder, "anim.json")
    with open(path, "w", encoding="utf-8") as file:
        json.dump(document, file, indent=1)
    return path


def job_ids(text):
    """The render job's ID, and each frame's assembly job ID by frame."""
    render = re.findall(r"^render job: (\d+)$", text, re.M)
    assemblies = {int(frame): job for frame, job in re.findall(r"^assemble job for frame (\d+): (\d+)$", text, re.M)}
    return (render[0] if render else None), assemblies


def check_states(states, cluster, job_folder):
    bad = {job: s for job, s in states.items() if not s or any(state != "COMPLETED" for state in s)}
    if bad:
        for log in sorted(os.listdir(os.path.join(job_folder, "logs"))):
            with open(os.path.join(job_folder, "logs", log), encoding="utf-8", errors="replace") as file:
                print(f"--- job log {log}\n{file.read()[-2000:]}")
        raise Failure(f"jobs did not all complete: {bad}")


def compare(pairs):
    for farm, reference in pairs:
        why = same_pixels(farm, reference)
        if why:
            raise Failure(f"{farm} is not {reference}: {why}")
        print(f"same pixels: {os.path.basename(farm)} and the one-process {os.path.basename(reference)}")


def flaky_program(program, cluster, folder):
    """A stand-in for nocturnia on the node: the first time frame 3's tile 1
    is asked for, it has its own task requeued, as a node failure would, and
    waits to be stopped; every other call is the program's."""
    path = os.path.join(folder, "flaky-nocturnia")
    with open(path, "w", encoding="utf-8") as file:
        file.write(f"""#!/bin/bash
case " $* " in
*" --frame 3 --tile 1/4 "*)
    if mkdir '{folder}/requeued' 2>/dev/null; then
        '{cluster.programs["scontrol"]}' requeue "${{SLURM_ARRAY_JOB_ID}}_${{SLURM_ARRAY_TASK_ID}}"
        sleep 60
        exit 1
    fi ;;
esac
exec '{program}' "$@"
""")
    os.chmod(path, 0o755)
    return path


def cluster_time(cluster, job, field):
    """A time scontrol shows for the job (ISO text, so that they compare)."""
    found = re.findall(field + r"=(\S+)", cluster.client("scontrol", "-o", "show", "job", job).stdout)
    if not found:
        raise Failure(f"scontrol shows no {field} for job {job}")
    return found[0]


def check_dependencies(cluster, render_job, assemblies, tasks_of_frame):
    """Each frame's assembly waits for its own render tasks, no others."""
    for frame, job in assemblies.items():
        shown = cluster.client("scontrol", "-o", "show", "job", job).stdout
        waits = set(re.findall(r"afterok:(\d+_\d+)", shown))
        wanted = {f"{render_job}_{task}" for task in tasks_of_frame[frame]}
        if waits != wanted:
            raise Failure(f"frame {frame}'s assembly waits for {sorted(waits)}, not {sorted(wanted)}:\n{shown}")
    print(f"each frame's assembly waits for its own tasks: {tasks_of_frame}")


def reference_pairs(program, folder, document, frames_folder, frames, prefix):
    pairs = []
    for frame in frames:
        reference = os.path.join(folder, f"reference.{frame}.exr")
        if not os.path.exists(reference):
            run([program, "render", document, "--frame", str(frame), "-o", reference])
        pairs.append((os.path.join(frames_folder, f"{prefix}.{frame:04d}.exr"), reference))
    return pairs


def run_tiles(program, cluster, folder, source):
    document = small_document(source, folder, animated=True)
    kept = os.path.join(folder, "anim-as-submitted.json")
    shutil.copy(document, kept)
    job_folder = os.path.join(folder, "job")
    frames_folder = os.path.join(folder, "frames")
    # A stepped list: the tasks' items count positions in it (1, 3, 5), not
    # frames. Everything is submitted held, so that the dependencies can be
    # read before any of them is met.
    held = dict(cluster.environment, SBATCH_HOLD="1")
    submitted = run([program, "farm", "slurm", document, "--frames", "1-5x2", "--tiles", "4", "-o",
                     os.path.join(frames_folder, "sky.####.exr"), "--cpus-per-task", "1", "--job-dir", job_folder,
                     "--program", flaky_program(program, cluster, folder), "--submit"], env=held)
    # Later edits of the document change nothing in the submitted job.
    with open(document, encoding="utf-8") as file:
        edited = json.load(file)
    edited["material"]["shader"]["params"]["5003"] = {"real": 0.4}
    with open(document, "w", encoding="utf-8") as file:
        json.dump(edited, file)
    print(submitted.stdout.strip())
    render_job, assemblies = job_ids(submitted.stdout)
    if not render_job or sorted(assemblies) != [1, 3, 5]:
        raise Failure(f"farm slurm --submit printed no render job and assembly per frame:\n{submitted.stdout}")
    with open(os.path.join(job_folder, "render.sbatch"), encoding="utf-8") as file:
        if "#SBATCH --array=0-5\n" not in file.read():
            raise Failure("12 (frame, tile) renders under MaxArraySize 8 are not 6 array tasks of 2")
    check_dependencies(cluster, render_job, assemblies, {1: (0, 1), 3: (2, 3), 5: (4, 5)})
    cluster.client("scontrol", "release", render_job, *assemblies.values())
    check_states(cluster.wait_for_jobs([render_job, *assemblies.values()]), cluster, job_folder)

    # Task 2 (frame 3's tiles 0 and 1) was requeued after its first tile:
    # run again, it skipped that tile and rendered the other.
    restarts = re.findall(r"Restarts=(\d+)", cluster.client("scontrol", "-o", "show", "job",
                                                              f"{render_job}_2").stdout)
    with open(os.path.join(job_folder, "logs", f"render-{render_job}_2.log"), encoding="utf-8") as file:
        log = file.read()
    if restarts != ["1"] or "frame0000003.tile0000.exr is already this render's image, skipped" not in log:
        raise Failure(f"task 2 was not requeued once and did not skip its finished tile (restarts {restarts}):\n{log}")
    print(f"task {render_job}_2 was requeued once and skipped the tile it had finished")
    ends = {frame: cluster_time(cluster, job, "EndTime") for frame, job in assemblies.items()}
    if not ends[1] < cluster_time(cluster, f"{render_job}_2", "EndTime") > ends[5]:
        raise Failure(f"frames 1 and 5 were not assembled before the requeued task of frame 3 ended: {ends}")
    print(f"frames 1 and 5 assembled by {ends[1]} and {ends[5]}, before the requeued task of frame 3 ended")
    left = os.listdir(os.path.join(job_folder, "tiles"))
    if left:
        raise Failure(f"the tiles of assembled frames are still there: {sorted(left)}")

    pairs = reference_pairs(program, folder, kept, frames_folder, (1, 3, 5), "sky")
    compare(pairs)
    if not same_pixels(pairs[0][1], pairs[2][1]):
        raise Failure("frames 1 and 5 of the animated document are the same image: the test proves nothing")

    # --keep-tiles, through submit.sh: the frame's tiles stay.
    keep_folder = os.path.join(folder, "kept-job")
    run([program, "farm", "slurm", kept, "--frames", "3", "--tiles", "2", "--keep-tiles", "-o",
         os.path.join(frames_folder, "kept.####.exr"), "--job-dir", keep_folder], env=cluster.environment)
    submitted = run(["sh", os.path.join(keep_folder, "submit.sh")], env=cluster.environment)
    render_job, assemblies = job_ids(submitted.stdout)
    check_states(cluster.wait_for_jobs([render_job, *assemblies.values()]), cluster, keep_folder)
    kept_tiles = os.listdir(os.path.join(keep_folder, "tiles"))
    if len(kept_tiles) != 2:
        raise Failure(f"--keep-tiles did not keep the frame's 2 tiles: {kept_tiles}")
    compare(reference_pairs(program, folder, kept, frames_folder, (3,), "kept"))


def run_whole_frames(program, cluster, folder, source):
    # No tracks: each task's --set decides the Gamma it renders.
    document = small_document(source, folder, animated=False)
    # farm slurm reads the running cluster's MaxArraySize (8): 12 (frame, tile)
    # pairs become 6 array tasks of 2.
    run([program, "farm", "slurm", document, "--frames", "1-3", "--tiles", "4", "-o",
         os.path.join(folder, "frames", "sky.####.exr"), "--job-dir", os.path.join(folder, "job")],
        env=cluster.environment)
    with open(os.path.join(folder, "job", "render.sbatch"), encoding="utf-8") as file:
        if "#SBATCH --array=0-5\n" not in file.read():
            raise Failure("farm slurm did not chunk 12 renders into 6 tasks under the cluster's MaxArraySize 8")

    gammas = ["0.7", "1.3", "1.9"]
    job_folder = os.path.join(folder, "harness")
    os.makedirs(os.path.join(job_folder, "logs"))
    os.makedirs(os.path.join(job_folder, "out"))
    script = os.path.join(job_folder, "render.sbatch")
    with open(script, "w", encoding="utf-8") as file:
        file.write(f"""#!/bin/bash
#SBATCH --job-name=harness
#SBATCH --array=0-2
#SBATCH --cpus-per-task=1
#SBATCH --mem=100M
#SBATCH --output={job_folder}/logs/render-%A_%a.log
set -euo pipefail
gammas=({' '.join(gammas)})
exec '{program}' render '{document}' --set "Gamma=${{gammas[$SLURM_ARRAY_TASK_ID]}}" --threads 1 \\
    -o '{job_folder}/out/frame.'"$SLURM_ARRAY_TASK_ID"'.exr'
""")
    render_job = cluster.client("sbatch", "--parsable", script).stdout.strip().split(";")[0]
    after_job = cluster.client("sbatch", "--parsable", f"--dependency=afterok:{render_job}",
                               "--kill-on-invalid-dep=yes", f"--output={job_folder}/logs/after.log",
                               "--wrap", f"ls '{job_folder}/out' > '{job_folder}/after.txt'").stdout.strip()
    after_job = after_job.split(";")[0]
    print(f"render job: {render_job}\nafter job: {after_job}")
    check_states(cluster.wait_for_jobs([render_job, after_job]), cluster, job_folder)
    with open(os.path.join(job_folder, "after.txt"), encoding="utf-8") as file:
        listed = file.read().split()
    if listed != ["frame.0.exr", "frame.1.exr", "frame.2.exr"]:
        raise Failure(f"the afterok job ran before every render was written: it saw {listed}")

    pairs = []
    for task, gamma in enumerate(gammas):
        reference = os.path.join(folder, f"reference.{task}.exr")
        run([program, "render", document, "--set", f"Gamma={gamma}", "-o", reference])
        pairs.append((os.path.join(job_folder, "out", f"frame.{task}.exr"), reference))
    compare(pairs)
    if not same_pixels(pairs[0][1], pairs[2][1]):
        raise Failure("the three renders are the same image: the test proves nothing")


def missing_capabilities(program):
    render_help = run([program, "render", "--help"], check=False).stdout
    program_help = run([program, "--help"], check=False).stdout
    missing = [option for option in ("--frames", "--frame", "--tile")
               if not re.search(r"(?<![\w-])" + option + r"(?![\w-])", render_help)]
    if not re.search(r"^\s*assemble\b", program_help, re.M):
        missing.append("the assemble command")
    return missing


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", required=True, help="the built nocturnia")
    parser.add_argument("--document", required=True, help="the example document to animate")
    parser.add_argument("--mode", choices=("tiles", "whole-frames"), required=True)
    arguments = parser.parse_args()
    program = os.path.abspath(arguments.program)

    programs = {name: find_program(name) for name in DAEMON_PROGRAMS}
    absent = [name for name, path in programs.items() if not path]
    if absent:
        skip(f"{' '.join(absent)} not installed; run: bash scripts/install-test-extras.sh")
    if os.geteuid() != 0:
        skip("starting slurmd and munged needs root")
    if arguments.mode == "tiles":
        missing = missing_capabilities(program)
        if missing:
            skip(f"`nocturnia render --help` shows no {', '.join(missing)}: this program cannot render tiles "
                 "of frames yet (run with --mode whole-frames to prove the cluster alone)")

    # A stop from outside (ctest's timeout, Ctrl-C) still stops the daemons.
    def stop_now(number, _frame):
        raise Failure(f"stopped by signal {number}")
    signal.signal(signal.SIGTERM, stop_now)
    signal.signal(signal.SIGINT, stop_now)

    folder = tempfile.mkdtemp(prefix="nocturnia-slurm-")
    cluster = Cluster(folder, programs)
    started = time.monotonic()
    ok = False
    try:
        cluster.start()
        if arguments.mode == "tiles":
            run_tiles(program, cluster, folder, arguments.document)
        else:
            run_whole_frames(program, cluster, folder, arguments.document)
        ok = True
    except (Failure, subprocess.TimeoutExpired, OSError) as error:
        print(f"FAILED: {error}")
        cluster.show_logs()
    finally:
        cluster.stop()
        if ok:
            shutil.rmtree(folder, ignore_errors=True)
        else:
            print(f"left for inspection: {folder}")
    print(f"farm test ({arguments.mode}): {'passed' if ok else 'failed'} in {time.monotonic() - started:.1f} s")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
