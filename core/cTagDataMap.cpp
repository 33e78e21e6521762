#include "cTagDataMap.h"

namespace
{
constexpr int kStateBeforeRoot = -1;
constexpr int kStateLeaf = -2;    // inside a leaf or an unknown element
constexpr int kStateIgnored = -4; // inside anything nested in such an element
} // namespace

bool TagMapGroup::setValue(const QString& name, const QString& text)
{
    if (const auto it = intMap.constFind(name); it != intMap.constEnd()) {
        *it.value() = text.toInt(nullptr, 10); // 0 when not a number
        return true;
    }
    if (const auto it = floatMap.constFind(name); it != floatMap.constEnd()) {
        *it.value() = text.toFloat();
        return true;
    }
    if (const auto it = textMap.constFind(name); it != textMap.constEnd()) {
        *it.value() = text;
        return true;
    }
    return false;
}

void cTagDataMap::InitDataMap(int groupCount, int)
{
    m_groupCount = qMax(groupCount, 0);
    m_groups = QVector<TagMapGroup>(m_groupCount);
    m_currentGroup = m_groupCount > 0 ? &m_groups[0] : nullptr;
    m_state = kStateBeforeRoot;
    m_stateStack.clear();
    m_stateStack.push(kStateBeforeRoot);
}

void cTagDataMap::startNodeElement(const QString& name)
{
    if (m_state == kStateLeaf)
        m_state = kStateIgnored;
    if (m_state != kStateIgnored) {
        qint16 id = 0;
        if (m_currentGroup) {
            const auto it = m_currentGroup->nodeMap.constFind(name);
            if (it != m_currentGroup->nodeMap.constEnd())
                id = it.value();
        }
        if (id >= 1) {
            m_state = id;
            m_currentGroup = id < m_groupCount ? &m_groups[id] : nullptr;
            enterParentNode(id);
        } else {
            m_state = kStateLeaf;
        }
    }
    m_stateStack.push(m_state);
}

bool cTagDataMap::nodeAttributeElement(const QString& element, const QString& attribute,
                                       const QString& value)
{
    Q_UNUSED(element);
    Q_UNUSED(attribute);
    Q_UNUSED(value);
    return false;
}

void cTagDataMap::nodeElement(const QString& name, const QString& text)
{
    if (m_state != kStateIgnored && m_currentGroup)
        m_currentGroup->setValue(name, text);
}

void cTagDataMap::endNodeElement(const QString& name)
{
    Q_UNUSED(name);
    // The bottom entry (before the root) is never popped, so a stray end
    // event cannot empty the stack.
    if (m_stateStack.size() <= 1)
        return;
    const int popped = m_stateStack.pop();
    m_state = m_stateStack.top();
    if (popped >= 1)
        exitParentNode(popped);
    if (m_state >= 1) {
        m_currentGroup = m_state < m_groupCount ? &m_groups[m_state] : nullptr;
    } else if (m_state == kStateBeforeRoot) {
        // Back at document level: only the root may be recognised again.
        m_currentGroup = m_groupCount > 0 ? &m_groups[0] : nullptr;
    }
}
