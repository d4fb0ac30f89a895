// The order projects are built in, from what they make and what they reference.
#include "tooling/BuildOrder.h"

#include <QTest>

using tooling::BuildNode;

namespace {

// "Category|Name|output|use;use|control;control"; the project file is /src/<Name>/<Name>.vbp.
std::vector<BuildNode> nodesOf(const QStringList &lines)
{
    std::vector<BuildNode> nodes;
    for (const QString &line : lines) {
        const QStringList f = line.split(u'|');
        BuildNode node;
        node.category = f.value(0);
        node.name = f.value(1);
        node.projectFile = "/src/" + node.name + "/" + node.name + ".vbp";
        node.output = f.value(2);
        node.uses = f.value(3).split(u';', Qt::SkipEmptyParts);
        node.controls = f.value(4).split(u';', Qt::SkipEmptyParts);
        nodes.push_back(node);
    }
    return nodes;
}

int indexOf(const std::vector<BuildNode> &nodes, const QString &name)
{
    for (int i = 0; i < int(nodes.size()); ++i)
        if (nodes[i].name == name)
            return i;
    return -1;
}

} // namespace

class tst_BuildOrder : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void order_data();
    void order();
    void links_data();
    void links();
    void single_data();
    void single();
};

void tst_BuildOrder::order_data()
{
    QTest::addColumn<QStringList>("projects");
    QTest::addColumn<QStringList>("chosen");
    QTest::addColumn<QStringList>("needing"); // not chosen, but out of date
    QTest::addColumn<QStringList>("order");   // "+" before one pulled in
    QTest::addColumn<QStringList>("cycles");  // each cycle's names joined by ","

    const QStringList chain = {"T|A|/o/A.exe|/o/B.dll", "T|B|/o/B.dll|/o/C.dll", "T|C|/o/C.dll"};
    QTest::newRow("chain") << chain << QStringList{"A", "B", "C"} << QStringList{} << QStringList{"C", "B", "A"}
                           << QStringList{};
    QTest::newRow("a dependency moves to just before the first that needs it")
        << QStringList{"T|X|/o/X.exe", "T|A|/o/A.exe|/o/C.dll", "T|Y|/o/Y.exe", "T|C|/o/C.dll"}
        << QStringList{"X", "A", "Y", "C"} << QStringList{} << QStringList{"X", "C", "A", "Y"} << QStringList{};
    QTest::newRow("diamond")
        << QStringList{"T|A|/o/A.exe|/o/B.dll;/o/C.dll", "T|B|/o/B.dll|/o/D.dll", "T|C|/o/C.dll|/o/D.dll",
                       "T|D|/o/D.dll"}
        << QStringList{"A", "B", "C", "D"} << QStringList{} << QStringList{"D", "B", "C", "A"} << QStringList{};
    QTest::newRow("cycle: built in list order, after what it needs")
        << QStringList{"T|C|/o/C.exe|/o/A.dll", "T|A|/o/A.dll|/o/B.dll", "T|B|/o/B.dll|/o/A.dll;/o/L.dll",
                       "T|L|/o/L.dll"}
        << QStringList{"C", "A", "B", "L"} << QStringList{} << QStringList{"L", "A", "B", "C"}
        << QStringList{"A,B"};
    QTest::newRow("itself is no cycle") << QStringList{"T|A|/o/A.dll|/o/A.dll", "T|B|/o/B.exe"}
                                        << QStringList{"A", "B"} << QStringList{} << QStringList{"A", "B"}
                                        << QStringList{};
    QTest::newRow("another category's dependency, out of date")
        << QStringList{"Apps|A|/o/A.exe|/o/L.dll", "Apps|B|/o/B.exe", "Libs|L|/o/L.dll"} << QStringList{"A", "B"}
        << QStringList{"L"} << QStringList{"+L", "A", "B"} << QStringList{};
    QTest::newRow("another category's dependency, up to date")
        << QStringList{"Apps|A|/o/A.exe|/o/L.dll", "Apps|B|/o/B.exe", "Libs|L|/o/L.dll"} << QStringList{"A", "B"}
        << QStringList{} << QStringList{"A", "B"} << QStringList{};
    QTest::newRow("one project: what it needs, through what is out of date")
        << QStringList{"T|A|/o/A.exe|/o/B.dll", "T|B|/o/B.dll|/o/C.dll", "T|C|/o/C.dll", "T|D|/o/D.exe"}
        << QStringList{"A"} << QStringList{"B", "C", "D"} << QStringList{"+C", "+B", "A"} << QStringList{};
    QTest::newRow("nothing past one up to date")
        << QStringList{"T|A|/o/A.exe|/o/B.dll", "T|B|/o/B.dll|/o/C.dll", "T|C|/o/C.dll"} << QStringList{"A"}
        << QStringList{"C"} << QStringList{"A"} << QStringList{};
    QTest::newRow("controls by file name, letter case aside")
        << QStringList{"T|A|/o/A.exe||MSCOMCTL.OCX;grid.OCX", "T|G|/o/ctl/Grid.ocx"} << QStringList{"A", "G"}
        << QStringList{} << QStringList{"G", "A"} << QStringList{};
    QTest::newRow("of two that make the control, the own category's")
        << QStringList{"Apps|A|/o/A.exe||Grid.ocx", "Apps|G1|/o/1/Grid.ocx", "Old|G2|/o/2/Grid.ocx"}
        << QStringList{"A", "G1"} << QStringList{"G2"} << QStringList{"G1", "A"} << QStringList{};
    QTest::newRow("paths compare ignoring case and the separator")
        << QStringList{"T|A|C:\\Out\\A.exe|c:/out/LIB.dll", "T|L|C:\\OUT\\Lib.DLL"} << QStringList{"A", "L"}
        << QStringList{} << QStringList{"L", "A"} << QStringList{};
    QTest::newRow("a group project by its .vbp")
        << QStringList{"T|A|/o/A.exe|/SRC/l/L.VBP", "T|L|/x/whatever.dll"} << QStringList{"A", "L"} << QStringList{}
        << QStringList{"L", "A"} << QStringList{};
    QTest::newRow("a reference to nothing catalogued")
        << QStringList{"T|A|/o/A.exe|/o/none.dll;|", "T|B|/o/B.exe"} << QStringList{"A", "B"} << QStringList{}
        << QStringList{"A", "B"} << QStringList{};
    QTest::newRow("chosen twice, and an index out of range")
        << QStringList{"T|A|/o/A.exe", "T|B|/o/B.exe"} << QStringList{"B", "A", "B", "nobody"} << QStringList{}
        << QStringList{"A", "B"} << QStringList{};
    QTest::newRow("nothing chosen") << chain << QStringList{} << QStringList{"A", "B", "C"} << QStringList{}
                                    << QStringList{};
}

void tst_BuildOrder::order()
{
    QFETCH(QStringList, projects);
    QFETCH(QStringList, chosen);
    QFETCH(QStringList, needing);
    QFETCH(QStringList, order);
    QFETCH(QStringList, cycles);
    const std::vector<BuildNode> nodes = nodesOf(projects);
    std::vector<int> chosenIndexes;
    for (const QString &name : chosen)
        chosenIndexes.push_back(indexOf(nodes, name));
    const tooling::BuildPlan plan = tooling::PlanBuilds(nodes, chosenIndexes, [&](int node) {
        return needing.contains(nodes[node].name);
    });
    QStringList steps;
    for (const tooling::BuildStep &step : plan.steps)
        steps.append((step.pulledIn ? "+" : "") + nodes[step.node].name);
    QCOMPARE(steps, order);
    QStringList found;
    for (const QStringList &cycle : plan.cycles)
        found.append(cycle.join(u','));
    QCOMPARE(found, cycles);
}

void tst_BuildOrder::links_data()
{
    QTest::addColumn<QString>("projectFile");
    QTest::addColumn<QByteArray>("vbp");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QStringList>("uses");
    QTest::addColumn<QStringList>("controls");

    const QByteArray refs = "Reference=*\\G{00020430-0000-0000-C000-000000000046}#2.0#0#..\\..\\Windows\\stdole2.tlb#OLE\r\n"
                            "Reference=*\\G{EF25A311-51E2-41E8-98E9-150BBCB7D74F}#1.0#0#C:\\Dll\\Data.dll#Data\r\n"
                            "Reference=*\\A..\\Lib\\Lib.vbp\r\nReference=*\\G{bad}\r\n"
                            "Object={831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0; MSCOMCTL.OCX\r\n"
                            "Object={831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0\r\n";
    QTest::newRow("Windows paths") << "C:\\Src\\App\\App.vbp" << refs + "ExeName32=\"App1.exe\"\r\n"
                                   << "C:\\Src\\App\\App1.exe"
                                   << QStringList{"C:\\Windows\\stdole2.tlb", "C:\\Dll\\Data.dll", "C:\\Src\\Lib\\Lib.vbp"}
                                   << QStringList{"MSCOMCTL.OCX"};
    QTest::newRow("Unix paths: another drive has no place")
        << "/src/App/App.vbp" << refs + "ExeName32=\"App1.exe\"\r\n" << "/src/App/App1.exe"
        << QStringList{"/Windows/stdole2.tlb", "/src/Lib/Lib.vbp"} << QStringList{"MSCOMCTL.OCX"};
    QTest::newRow("Path32, relative") << "/src/App/App.vbp" << QByteArray("Path32=\"..\\bin\"\r\nExeName32=\"App.dll\"")
                                      << "/src/bin/App.dll" << QStringList{} << QStringList{};
    QTest::newRow("Path32 without ExeName32") << "C:\\Src\\App\\App.vbp" << QByteArray("Path32=\"..\\bin\"\r\n")
                                              << "C:\\Src\\bin\\App.exe" << QStringList{} << QStringList{};
    QTest::newRow("Path32 on a drive") << "C:\\Src\\App\\App.vbp"
                                       << QByteArray("ExeName32=\"Lib.dll\"\nPath32=\"D:\\Out\"\n") << "D:\\Out\\Lib.dll"
                                       << QStringList{} << QStringList{};
    QTest::newRow("Path32 on a drive that has no place here")
        << "/src/App/App.vbp" << QByteArray("ExeName32=\"Lib.dll\"\nPath32=\"D:\\Out\"\n") << "" << QStringList{}
        << QStringList{};
    QTest::newRow("empty Path32") << "/src/App/App.vbp" << QByteArray("Path32=\"\"\r\nExeName32=\"Lib.dll\"\r\n")
                                  << "/src/App/Lib.dll" << QStringList{} << QStringList{};
    QTest::newRow("nothing") << "/src/App/App.vbp" << QByteArray() << "/src/App/App.exe" << QStringList{}
                             << QStringList{};
}

void tst_BuildOrder::links()
{
    QFETCH(QString, projectFile);
    QFETCH(QByteArray, vbp);
    QFETCH(QString, output);
    QFETCH(QStringList, uses);
    QFETCH(QStringList, controls);
    QCOMPARE(tooling::BuildOutputOf(projectFile, vbp), output);
    const QList<catalogue::ProjectReference> refs = catalogue::ReferencesIn(vbp);
    QCOMPARE(tooling::UsedPaths(projectFile, refs), uses);
    QCOMPARE(tooling::ControlFiles(refs), controls);
}

void tst_BuildOrder::single_data()
{
    QTest::addColumn<QStringList>("projects"); // the first is built; the others' uses come from load only
    QTest::addColumn<QStringList>("needing");
    QTest::addColumn<QStringList>("order");    // "+" before one pulled in
    QTest::addColumn<QStringList>("cycles");

    const QStringList chain = {"T|A|/o/A.exe|/o/B.dll", "T|B|/o/B.dll|/o/C.dll", "T|C|/o/C.dll"};
    QTest::newRow("none out of date") << chain << QStringList{} << QStringList{"A"} << QStringList{};
    QTest::newRow("chain, read as it is followed") << chain << QStringList{"A", "B", "C"}
                                                   << QStringList{"+C", "+B", "A"} << QStringList{};
    QTest::newRow("chain listed the other way round")
        << QStringList{"T|A|/o/A.exe|/o/B.dll", "T|C|/o/C.dll", "T|B|/o/B.dll|/o/C.dll"} << QStringList{"B", "C"}
        << QStringList{"+C", "+B", "A"} << QStringList{};
    QTest::newRow("diamond")
        << QStringList{"T|A|/o/A.exe|/o/B.dll;/o/C.dll", "T|B|/o/B.dll|/o/D.dll", "T|C|/o/C.dll|/o/D.dll",
                       "T|D|/o/D.dll"}
        << QStringList{"B", "C", "D"} << QStringList{"+D", "+B", "+C", "A"} << QStringList{};
    QTest::newRow("through another category")
        << QStringList{"Apps|A|/o/A.exe|/o/L.dll", "Apps|X|/o/X.exe", "Libs|L|/o/L.dll||Grid.ocx",
                       "Ctl|G|/o/Grid.ocx"}
        << QStringList{"L", "G", "X"} << QStringList{"+G", "+L", "A"} << QStringList{};
    QTest::newRow("cycle with the project: it comes last, not in list order")
        << QStringList{"T|A|/o/A.dll|/o/B.dll", "T|B|/o/B.dll|/o/A.dll"} << QStringList{"B"}
        << QStringList{"+B", "A"} << QStringList{};
    QTest::newRow("cycle among what it depends on: told")
        << QStringList{"T|A|/o/A.exe|/o/B.dll", "T|B|/o/B.dll|/o/C.dll", "T|C|/o/C.dll|/o/B.dll"}
        << QStringList{"B", "C"} << QStringList{"+B", "+C", "A"} << QStringList{"B,C"};
}

void tst_BuildOrder::single()
{
    QFETCH(QStringList, projects);
    QFETCH(QStringList, needing);
    QFETCH(QStringList, order);
    QFETCH(QStringList, cycles);
    const std::vector<BuildNode> whole = nodesOf(projects);
    std::vector<BuildNode> nodes = whole;
    for (size_t i = 1; i < nodes.size(); ++i) {
        nodes[i].uses.clear();
        nodes[i].controls.clear();
    }
    QStringList loaded;
    const tooling::BuildPlan plan = tooling::PlanSingleBuild(
        nodes, 0, [&](int node) { return needing.contains(nodes[size_t(node)].name); },
        [&](BuildNode &node) {
            loaded.append(node.name);
            node.uses = whole[size_t(indexOf(whole, node.name))].uses;
            node.controls = whole[size_t(indexOf(whole, node.name))].controls;
        });
    QStringList steps;
    for (const tooling::BuildStep &step : plan.steps)
        steps.append((step.pulledIn ? "+" : "") + nodes[size_t(step.node)].name);
    QCOMPARE(steps, order);
    QStringList found;
    for (const QStringList &cycle : plan.cycles)
        found.append(cycle.join(u','));
    QCOMPARE(found, cycles);
    // Only what is built is read.
    loaded.sort();
    QStringList pulled = order.filter(QStringLiteral("+"));
    pulled.replaceInStrings("+", "");
    pulled.sort();
    QCOMPARE(loaded, pulled);
}

QTEST_GUILESS_MAIN(tst_BuildOrder)
#include "tst_BuildOrder.moc"
