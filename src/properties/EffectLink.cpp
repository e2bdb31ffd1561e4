#include "properties/EffectLink.h"

#include "properties/PropertyRules.h"

void EffectLink::fill(bool inPattern, const QString &inText, bool outPattern,
                      const QString &outText)
{
    m_outFree = true;
    m_outText = outText;
    if (outPattern)
        chooseOutPattern();
    else
        chooseOutDiss();
    m_inText = inText;
    if (inPattern)
        chooseInPattern();
    else
        chooseInDiss();
}

void EffectLink::chooseInPattern()
{
    m_inPattern = true;
    if (PropertyRules::isLinkedPattern(m_inText))
        linkOut();
}

void EffectLink::chooseInDiss()
{
    m_inPattern = false;
    if (PropertyRules::isLinkedPattern(m_inText)) {
        // A combined wipe cannot go out alone once the in side dissolves.
        m_outPattern = false;
        m_outFree = false;
    }
}

void EffectLink::chooseOutPattern()
{
    m_outPattern = true;
}

void EffectLink::chooseOutDiss()
{
    m_outPattern = false;
}

void EffectLink::leaveInPattern(const QString &typed)
{
    m_inText = PropertyRules::pattern(typed);
    if (PropertyRules::isLinkedPattern(m_inText)) {
        linkOut();
        return;
    }
    if (!m_outFree)
        unlinkOut();
}

void EffectLink::leaveOutPattern(const QString &typed)
{
    m_outText = PropertyRules::pattern(typed);
    if (PropertyRules::isLinkedPattern(m_outText)) {
        // A combined wipe typed on the out side is the in side's wipe.
        m_inText = m_outText;
        m_inPattern = true;
        linkOut();
    }
}

void EffectLink::release()
{
    m_outFree = true;
}

void EffectLink::linkOut()
{
    m_outText = m_inText;
    m_outPattern = true;
    m_outFree = false;
}

void EffectLink::unlinkOut()
{
    m_outText = m_inText;
    m_outFree = true;
}
