#!/usr/bin/env python3
"""Makes the tree and the catalogues of the open benchmark:

    gencat.py <folder> <projects> [<projects> ...]

The tree is a user's: one folder per project,
  <folder>/tree/開発資産/業務アプリケーション群/在庫管理システム/分類00001/在庫管理ツール_0000001/
holding 在庫管理ツール_0000001.vbp (about 860 bytes, code page 932, CR LF, as the IDE writes it) and the
files it lists, frmMain.frm, frmMain.frx, frmSub.frm and modMain.bas, all present; the executable
在庫管理ツール_0000001.exe is there for 90 % of the projects, 70 % newer than the sources, 20 % older.
Sources and executables are empty: the program only looks at their times, and an empty file takes
no data block (1,000,000 projects take about 9 GB instead of 29).

Every category holds 100 projects: 10,000 projects are 100 categories, 100,000 are 1,000 and
1,000,000 are 10,000. The tree is one for every size (a catalogue of N projects lists the first
N / 100 categories), made once and grown when a larger size asks for it; <folder>/tree/.categories
says how many categories are complete. Each size has its catalogue <folder>/catalogue-<N>.zrd
(code page 932, CR LF) and a copy of it, <folder>/catalogue-<N>.zrd.orig, that the benchmark puts
back after a run changed it. Prints each catalogue's path, or a line saying why a size was skipped
(not enough disk space or inodes).
"""
import multiprocessing
import os
import sys

PER_CATEGORY = 100
# Sources written long ago; executables an hour after them (up to date) or before them (out of date).
SOURCES_NS = 1_600_000_000 * 10**9
HOUR_NS = 3600 * 10**9
SOURCES = (b"frmMain.frm", b"frmMain.frx", b"frmSub.frm", b"modMain.bas")
# What a project costs on disk: its folder and its .vbp a block each, six or seven inodes, and its
# catalogue line twice (the catalogue and its copy); kept free beyond that: 2 GiB and 5 %.
BYTES_PER_PROJECT = 2 * 4096 + 2 * 200
INODES_PER_PROJECT = 7
SPARE_BYTES = 2 << 30


def project_name(p: int) -> str:
    return f"在庫管理ツール_{p:07d}"


def category_name(c: int) -> str:
    return f"分類{c:05d}"


def category_folder(tree: str, c: int) -> str:
    return os.path.join(tree, "開発資産", "業務アプリケーション群", "在庫管理システム", category_name(c))


def project_file(tree: str, p: int) -> str:
    c = (p - 1) // PER_CATEGORY + 1
    return os.path.join(category_folder(tree, c), project_name(p), project_name(p) + ".vbp")


def vbp_text(p: int) -> bytes:
    name = project_name(p)
    return ("\r\n".join([
        "Type=Exe",
        r"Reference=*\G{00020430-0000-0000-C000-000000000046}#2.0#0#..\..\..\Windows\SysWOW64\stdole2.tlb"
        r"#OLE Automation",
        r"Object={831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0; MSCOMCTL.OCX",
        "Form=frmMain.frm", "Form=frmSub.frm", "Module=modMain; modMain.bas",
        'IconForm="frmMain"', 'Startup="frmMain"', 'HelpFile=""',
        f'Title="{name}"', f'ExeName32="{name}.exe"', 'Command32=""', f'Name="{name}"',
        'HelpContextID="0"', 'CompatibleMode="0"', "MajorVer=1", "MinorVer=0", f"RevisionVer={p % 97}",
        "AutoIncrementVer=0", "ServerSupportFiles=0", 'VersionCompanyName="Example"', "CompilationType=0",
        "OptimizationType=0", "FavorPentiumPro(tm)=0", "CodeViewDebugInfo=0", "NoAliasing=0", "BoundsCheck=0",
        "OverflowCheck=0", "FlPointCheck=0", "FDIVCheck=0", "UnroundedFP=0", "StartMode=0", "Unattended=0",
        "Retained=0", "ThreadPerObject=0", "MaxNumberOfThreads=1", "", "[MS Transaction Server]",
        "AutoRefresh=1"]) + "\r\n").encode("cp932")


def _put(folder_fd: int, name: bytes, data: bytes, ns: int) -> None:
    fd = os.open(name, os.O_WRONLY | os.O_CREAT | os.O_TRUNC | os.O_CLOEXEC, 0o644, dir_fd=folder_fd)
    try:
        if data:
            os.write(fd, data)
        os.utime(fd, ns=(ns, ns))
    finally:
        os.close(fd)


def make_category(job) -> int:
    """Writes one category's projects (again, when an earlier run stopped half-way)."""
    tree, c = job
    folder = category_folder(tree, c).encode()
    os.makedirs(folder, exist_ok=True)
    for p in range((c - 1) * PER_CATEGORY + 1, c * PER_CATEGORY + 1):
        name = project_name(p).encode()
        project = os.path.join(folder, name)
        try:
            os.mkdir(project)
        except FileExistsError:
            pass
        # Files are made relative to their folder: the long path is walked once per project.
        fd = os.open(project, os.O_RDONLY | os.O_DIRECTORY | os.O_CLOEXEC)
        try:
            _put(fd, name + b".vbp", vbp_text(p), SOURCES_NS)
            for source in SOURCES:
                _put(fd, source, b"", SOURCES_NS)
            if p % 10 < 7:
                _put(fd, name + b".exe", b"", SOURCES_NS + HOUR_NS)
            elif p % 10 < 9:
                _put(fd, name + b".exe", b"", SOURCES_NS - HOUR_NS)
        finally:
            os.close(fd)
    return c


def categories_made(tree: str) -> int:
    try:
        with open(os.path.join(tree, ".categories")) as f:
            return int(f.read().strip() or 0)
    except (OSError, ValueError):
        return 0


def room_for(folder: str, projects: int):
    """None when the disk holds that many more projects with room to spare, else why not."""
    st = os.statvfs(folder)
    free = st.f_bavail * st.f_frsize
    need = projects * BYTES_PER_PROJECT + SPARE_BYTES + st.f_blocks * st.f_frsize // 20
    if free < need:
        return f"{projects:,} more projects need {need / 2**30:.1f} GiB free on {folder}, {free / 2**30:.1f} GiB are"
    if st.f_files and st.f_favail < projects * INODES_PER_PROJECT + st.f_files // 20:
        return f"{projects:,} more projects need {projects * INODES_PER_PROJECT:,} inodes, {st.f_favail:,} are free"
    return None


def make_tree(folder: str, categories: int, log=print) -> str:
    """The tree with at least this many categories; returns its root."""
    tree = os.path.join(os.path.abspath(folder), "tree")
    os.makedirs(tree, exist_ok=True)
    made = categories_made(tree)
    if made >= categories:
        return tree
    log(f"making projects {made * PER_CATEGORY + 1:,} to {categories * PER_CATEGORY:,} "
        f"({categories - made:,} categories of {PER_CATEGORY}) ...")
    jobs = [(tree, c) for c in range(made + 1, categories + 1)]
    step = 50  # categories between two marks of progress
    with multiprocessing.Pool(min(2, os.cpu_count() or 1)) as pool:
        for start in range(0, len(jobs), step):
            done = max(pool.map(make_category, jobs[start:start + step]))
            with open(os.path.join(tree, ".categories.new"), "w") as f:
                f.write(f"{done}\n")
            os.replace(os.path.join(tree, ".categories.new"), os.path.join(tree, ".categories"))
            if len(jobs) > 10 * step and (start // step) % 20 == 19:
                log(f"  {done * PER_CATEGORY:,} projects")
    return tree


def catalogue_bytes(tree: str, projects: int) -> bytes:
    out = []
    for c in range(1, -(-projects // PER_CATEGORY) + 1):
        out.append(f"[{category_name(c)}]\r\n")
        for p in range((c - 1) * PER_CATEGORY + 1, min(c * PER_CATEGORY, projects) + 1):
            out.append(f"{project_name(p)}={project_file(tree, p)}\r\n")
    return "".join(out).encode("cp932")


# Older than any "just written" window a reader may apply to what it keeps between runs.
CATALOGUE_NS = 1_600_000_000 * 10**9


def restore_catalogue(path: str) -> None:
    """Puts the catalogue back as it was made (a run may have changed it)."""
    with open(path + ".orig", "rb") as f:
        data = f.read()
    try:
        st = os.stat(path)
        if st.st_size == len(data) and st.st_mtime_ns == CATALOGUE_NS:
            with open(path, "rb") as f:
                if f.read() == data:
                    return
    except OSError:
        pass
    temporary = path + ".new"
    with open(temporary, "wb") as f:
        f.write(data)
    os.utime(temporary, ns=(CATALOGUE_NS, CATALOGUE_NS))
    os.replace(temporary, path)


def catalogue(folder: str, projects: int, log=print):
    """The catalogue of this many projects, the tree made as far as it needs; None when the disk
    lacks the room (said through log)."""
    folder = os.path.abspath(folder)
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder, f"catalogue-{projects}.zrd")
    categories = -(-projects // PER_CATEGORY)
    missing = max(0, categories - categories_made(os.path.join(folder, "tree"))) * PER_CATEGORY
    if missing:
        reason = room_for(folder, missing)
        if reason:
            log(f"skipped {projects:,} projects: {reason}")
            return None
    tree = make_tree(folder, categories, log)
    if not os.path.exists(path + ".orig"):
        data = catalogue_bytes(tree, projects)
        with open(path + ".orig.new", "wb") as f:
            f.write(data)
        os.replace(path + ".orig.new", path + ".orig")
    restore_catalogue(path)
    return path


def mean_path_length(folder: str, projects: int) -> float:
    tree = os.path.join(os.path.abspath(folder), "tree")
    sample = [1, max(1, projects // 2), projects]
    return sum(len(project_file(tree, p)) for p in sample) / len(sample)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    for n in sys.argv[2:]:
        made = catalogue(sys.argv[1], int(n), log=lambda text: print(text, file=sys.stderr, flush=True))
        if made:
            print(made)
