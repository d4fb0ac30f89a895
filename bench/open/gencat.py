#!/usr/bin/env python3
"""Writes a catalogue of N projects for the open benchmark:

    gencat.py <folder> <projects> [<categories>]

<folder>/Catalogue.zrd (code page 932, CR LF) lists every project under one of the categories
(100 unless given), spread evenly; each project has its own folder <folder>/projects/cNNN/pNNNNNN
holding a .vbp of about 1 KB as the IDE writes it (Name= and ExeName32= where the IDE puts them).
Paths are ASCII so the floor program can open them from the catalogue's bytes as they are.
Prints the catalogue's path.
"""
import os
import sys

FORMS = ["frmMain", "frmOption", "frmAbout", "frmEdit", "frmList", "frmPrint", "frmSplash", "frmLog"]
MODULES = ["modMain", "modFile", "modIni", "modApi", "modString", "modDraw"]


def vbp_text(p: int) -> bytes:
    lines = [
        "Type=Exe",
        r"Reference=*\G{00020430-0000-0000-C000-000000000046}#2.0#0#..\..\Windows\SysWOW64\stdole2.tlb#OLE Automation",
        r"Object={831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0; MSCOMCTL.OCX",
    ]
    # Projects differ in size: 1 to 8 forms, 0 to 6 modules.
    for f in FORMS[: 1 + p % len(FORMS)]:
        lines.append(f"Form={f}.frm")
    for m in MODULES[: p % (len(MODULES) + 1)]:
        lines.append(f"Module={m}; {m}.bas")
    lines += [
        "IconForm=\"frmMain\"",
        "Startup=\"frmMain\"",
        "HelpFile=\"\"",
        f"Title=\"Tool{p:06d}\"",
        f"ExeName32=\"Tool{p:06d}.exe\"",
        "Command32=\"\"",
        f"Name=\"Tool{p:06d}\"",
        "HelpContextID=\"0\"",
        "CompatibleMode=\"0\"",
        "MajorVer=1", "MinorVer=0", f"RevisionVer={p % 97}", "AutoIncrementVer=0",
        "ServerSupportFiles=0",
        "VersionCompanyName=\"Example\"",
        "CompilationType=0", "OptimizationType=0", "FavorPentiumPro(tm)=0", "CodeViewDebugInfo=0",
        "NoAliasing=0", "BoundsCheck=0", "OverflowCheck=0", "FlPointCheck=0", "FDIVCheck=0",
        "UnroundedFP=0", "StartMode=0", "Unattended=0", "Retained=0", "ThreadPerObject=0",
        "MaxNumberOfThreads=1",
        "",
        "[MS Transaction Server]",
        "AutoRefresh=1",
    ]
    return ("\r\n".join(lines) + "\r\n").encode("ascii")


def generate(folder: str, projects: int, categories: int = 100) -> str:
    folder = os.path.abspath(folder)
    categories = max(1, min(categories, projects)) if projects > 0 else 1
    out = []
    p = 0
    for c in range(categories):
        out.append(f"[分類{c + 1:03d}]\r\n")
        count = projects // categories + (1 if c < projects % categories else 0)
        for _ in range(count):
            p += 1
            project_folder = os.path.join(folder, "projects", f"c{c + 1:03d}", f"p{p:06d}")
            os.makedirs(project_folder, exist_ok=True)
            vbp = os.path.join(project_folder, f"Tool{p:06d}.vbp")
            with open(vbp, "wb") as f:
                f.write(vbp_text(p))
            out.append(f"ﾌﾟﾛｼﾞｪｸﾄ{p:06d}={vbp}\r\n")
    catalogue = os.path.join(folder, "Catalogue.zrd")
    with open(catalogue, "wb") as f:
        f.write("".join(out).encode("cp932"))
    # Older than any "just written" window a reader may apply to its cache.
    old = 1_600_000_000
    os.utime(catalogue, (old, old))
    return catalogue


if __name__ == "__main__":
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    print(generate(sys.argv[1], int(sys.argv[2]), int(sys.argv[3]) if len(sys.argv) == 4 else 100))
