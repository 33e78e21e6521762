#pragma once

#include <QHash>
#include <QStack>
#include <QString>
#include <QVector>

// The bindings of one node level of an XML vocabulary: element name (exact,
// case-sensitive) to a destination field, or to the id of a child node.
struct TagMapGroup {
    QHash<QString, qint32*> intMap;
    QHash<QString, float*> floatMap;
    QHash<QString, QString*> textMap;
    QHash<QString, qint16> nodeMap;

    // Stores text into the first binding found (int, float, text). Returns
    // false and changes nothing when the name is not bound.
    bool setValue(const QString& name, const QString& text);
};

// Table-driven walk over element events. Node states: -1 before the root, a
// positive node id inside a known node, -2 inside an unknown element or a
// leaf, -4 inside anything nested in such an element.
class cTagDataMap
{
public:
    virtual ~cTagDataMap() = default;

    virtual void enterParentNode(int id) { Q_UNUSED(id); }
    virtual void exitParentNode(int id) { Q_UNUSED(id); }
    virtual void parserDone() {}
    virtual void startNodeElement(const QString& name);
    virtual bool nodeAttributeElement(const QString& element, const QString& attribute,
                                      const QString& value);
    virtual void nodeElement(const QString& name, const QString& text);
    virtual void endNodeElement(const QString& name);
    virtual void fatalErr(const QString& message) { Q_UNUSED(message); }

    void InitDataMap(int groupCount, int);
    TagMapGroup& group(int id) { return m_groups[id]; }

protected:
    QVector<TagMapGroup> m_groups;
    QStack<int> m_stateStack;
    int m_groupCount = 0;
    int m_state = -1;
    TagMapGroup* m_currentGroup = nullptr;
};
