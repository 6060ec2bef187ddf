<?xml version="1.0" encoding="UTF-8"?>
<!--
  Result page of a link count. Input: the schema with the count's <Results> element as a
  child of the root. Output: a compact HTML page for a view about 225 x 233 px.
  Text taken from the input has "<" and ">" swapped for look-alike quotes, because the
  program turns "&lt;" and "&gt;" in the output back into markup.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">

  <xsl:output method="html" encoding="UTF-8" indent="no"
              doctype-system="about:legacy-compat"/>

  <xsl:variable name="results" select="/*/Results[1]"/>

  <xsl:template match="/">
    <html lang="en">
      <head>
        <meta charset="utf-8"/>
        <title>Link count</title>
        <style>
html, body { margin: 0; padding: 0; }
body {
  font: 12px/1.35 system-ui, "Segoe UI", Roboto, "Helvetica Neue", Arial, sans-serif;
  color: #27313d; background: #f5f7fa; overflow-x: hidden;
}
.page { padding: 8px 9px 6px 9px; }
.label { font-size: 10px; color: #7a8594; }
.site {
  font-weight: 600; font-size: 13px; color: #1f3b63;
  white-space: nowrap; overflow: hidden; text-overflow: ellipsis;
}
.total { margin: 1px 0 0 0; white-space: nowrap; overflow: hidden; }
.total .num { font-size: 22px; font-weight: 600; letter-spacing: -.01em; vertical-align: middle; }
.total .small { font-size: 18px; }
.total .tiny { font-size: 15px; }
.total .none { font-size: 18px; font-weight: normal; font-style: italic; color: #7a8594; }
.total .mark { font-size: 13px; margin-left: 5px; vertical-align: middle; }
.total .word { font-size: 11px; margin-left: 2px; vertical-align: middle; }
.note { font-size: 11px; color: #7a8594; }
table { width: 100%; border-collapse: collapse; table-layout: fixed; margin-top: 4px; }
td { padding: 2px 0 0 0; border-top: 1px solid #e1e6ed; vertical-align: top; line-height: 1.2; }
td.name { overflow-wrap: anywhere; }
tr.sub td { border-top: none; padding: 0 0 2px 0; }
td.name a { color: #2a5db0; text-decoration: none; }
td.name a:hover { text-decoration: underline; }
.sub div { font-size: 10px; color: #7a8594; white-space: nowrap; overflow: hidden; text-overflow: ellipsis; }
.reason { font-style: italic; }
td.count { width: 60px; text-align: right; white-space: nowrap; font-variant-numeric: tabular-nums; }
td.mark { width: 13px; text-align: right; font-size: 10px; }
.up { color: #1e8e3e; }
.down { color: #d33a2c; }
.same { color: #9aa3ae; }
.none { color: #7a8594; font-style: italic; padding: 3px 0; }
.sources { margin-top: 3px; font-size: 9px; line-height: 1.25; color: #8a94a2; }
.sources a { color: #6b7c93; }
.foot { margin-top: 4px; font-size: 10px; color: #8a94a2; white-space: nowrap; overflow: hidden; text-overflow: ellipsis; }
        </style>
      </head>
      <body>
        <div class="page">
          <xsl:choose>
            <xsl:when test="$results">
              <xsl:apply-templates select="$results"/>
            </xsl:when>
            <xsl:otherwise>
              <div class="label">Link count</div>
              <div class="none">No result</div>
            </xsl:otherwise>
          </xsl:choose>
        </div>
      </body>
    </html>
  </xsl:template>

  <xsl:template match="Results">
    <xsl:variable name="engines" select="count(Engine)"/>
    <xsl:variable name="counted" select="count(Engine[not(@NoCount = '1')])"/>
    <!-- What the total is: the sum of the engines that counted, each counting its own unit. -->
    <div class="label">
      <xsl:text>Link popularity</xsl:text>
      <xsl:choose>
        <xsl:when test="@NoCount = '1'"> — no source counted</xsl:when>
        <xsl:when test="$engines = 1"> — 1 source</xsl:when>
        <xsl:when test="$counted = $engines">
          <xsl:value-of select="concat(' — sum of ', $counted, ' sources')"/>
        </xsl:when>
        <xsl:otherwise>
          <xsl:value-of select="concat(' — sum of ', $counted, ' of ', $engines, ' sources')"/>
        </xsl:otherwise>
      </xsl:choose>
    </div>
    <div class="site" title="{translate(@Site, '&lt;&gt;', '‹›')}">
      <xsl:call-template name="text">
        <xsl:with-param name="value" select="@Site"/>
      </xsl:call-template>
    </div>
    <div class="total">
      <xsl:choose>
        <!-- Nothing was counted: a 0 would be a claim. -->
        <xsl:when test="@NoCount = '1'">
          <span class="num none">no count</span>
        </xsl:when>
        <xsl:otherwise>
          <!-- Long totals get a smaller type so that the mark still fits on the line. -->
          <xsl:variable name="length" select="string-length(normalize-space(@Total))"/>
          <span>
            <xsl:attribute name="class">
              <xsl:choose>
                <xsl:when test="$length &gt; 12">num tiny</xsl:when>
                <xsl:when test="$length &gt; 9">num small</xsl:when>
                <xsl:otherwise>num</xsl:otherwise>
              </xsl:choose>
            </xsl:attribute>
            <xsl:call-template name="number">
              <xsl:with-param name="value" select="@Total"/>
            </xsl:call-template>
          </span>
          <xsl:choose>
            <xsl:when test="not(@Compared = '0')">
              <xsl:call-template name="mark">
                <xsl:with-param name="code" select="string(@Fluctuation)"/>
                <xsl:with-param name="withWord" select="true()"/>
              </xsl:call-template>
            </xsl:when>
            <!-- No engine had an earlier count either: the site's first count. -->
            <xsl:when test="not(Engine[not(@NoCount = '1') and not(@Compared = '0')])">
              <span class="word same">first count</span>
            </xsl:when>
          </xsl:choose>
        </xsl:otherwise>
      </xsl:choose>
    </div>
    <xsl:if test="@Compared = '0' and not(@NoCount = '1') and Engine[not(@NoCount = '1') and not(@Compared = '0')]">
      <div class="note">
        <xsl:choose>
          <xsl:when test="@Partial = '1'">not compared (a source had no count)</xsl:when>
          <xsl:otherwise>not compared (new set of sources)</xsl:otherwise>
        </xsl:choose>
      </div>
    </xsl:if>
    <xsl:choose>
      <xsl:when test="Engine">
        <table>
          <xsl:apply-templates select="Engine"/>
        </table>
      </xsl:when>
      <xsl:otherwise>
        <div class="none">No engine counts</div>
      </xsl:otherwise>
    </xsl:choose>
    <xsl:if test="normalize-space(@Created) != ''">
      <div class="foot">
        <xsl:text>Counted </xsl:text>
        <xsl:call-template name="text">
          <xsl:with-param name="value" select="@Created"/>
        </xsl:call-template>
      </div>
    </xsl:if>
    <xsl:if test="/*/Sources/Source">
      <div class="sources">
        <xsl:text>Data: </xsl:text>
        <xsl:for-each select="/*/Sources/Source">
          <xsl:if test="position() &gt; 1">
            <xsl:text> · </xsl:text>
          </xsl:if>
          <xsl:call-template name="link">
            <xsl:with-param name="url" select="Link"/>
            <xsl:with-param name="label" select="Name"/>
          </xsl:call-template>
          <xsl:if test="normalize-space(Owner) != ''">
            <xsl:text> by </xsl:text>
            <xsl:call-template name="text">
              <xsl:with-param name="value" select="Owner"/>
            </xsl:call-template>
          </xsl:if>
          <xsl:if test="normalize-space(Licence) != ''">
            <xsl:text>, </xsl:text>
            <xsl:call-template name="link">
              <xsl:with-param name="url" select="LicenceLink"/>
              <xsl:with-param name="label" select="Licence"/>
            </xsl:call-template>
          </xsl:if>
        </xsl:for-each>
      </div>
    </xsl:if>
  </xsl:template>

  <!-- A label that links to an http(s) address, or the plain label without one. -->
  <xsl:template name="link">
    <xsl:param name="url"/>
    <xsl:param name="label"/>
    <xsl:variable name="href" select="translate(normalize-space($url), '&lt;&gt;&quot; ', '')"/>
    <xsl:variable name="text" select="translate(normalize-space($label), '&lt;&gt;', '‹›')"/>
    <xsl:choose>
      <xsl:when test="starts-with($href, 'http://') or starts-with($href, 'https://')">
        <a href="{$href}" target="_blank"><xsl:value-of select="$text"/></a>
      </xsl:when>
      <xsl:otherwise>
        <xsl:value-of select="$text"/>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template match="Engine">
    <xsl:variable name="name" select="translate(normalize-space(Name), '&lt;&gt;', '‹›')"/>
    <xsl:variable name="url" select="translate(normalize-space(URL), '&lt;&gt;&quot; ', '')"/>
    <xsl:variable name="unit" select="translate(normalize-space(@Unit), '&lt;&gt;', '‹›')"/>
    <xsl:variable name="reason" select="translate(normalize-space(@Reason), '&lt;&gt;', '‹›')"/>
    <tr>
      <td class="name">
        <!-- Long names wrap, so that no two are cut to the same text. -->
        <xsl:choose>
          <xsl:when test="starts-with($url, 'http://') or starts-with($url, 'https://')">
            <a href="{$url}" target="_blank" title="{$name}">
              <xsl:value-of select="$name"/>
            </a>
          </xsl:when>
          <xsl:otherwise>
            <span title="{$name}"><xsl:value-of select="$name"/></span>
          </xsl:otherwise>
        </xsl:choose>
      </td>
      <td class="count">
        <xsl:choose>
          <!-- The engine gave no count: its 0 is no figure. -->
          <xsl:when test="@NoCount = '1'">
            <span class="same" title="No count: {$reason}">no count</span>
          </xsl:when>
          <xsl:otherwise>
            <xsl:call-template name="number">
              <xsl:with-param name="value" select="Count"/>
            </xsl:call-template>
          </xsl:otherwise>
        </xsl:choose>
      </td>
      <td class="mark">
        <xsl:choose>
          <xsl:when test="@NoCount = '1'"/>
          <xsl:when test="@Compared = '0'">
            <span class="same" title="First count: nothing earlier to compare with">–</span>
          </xsl:when>
          <xsl:otherwise>
            <xsl:call-template name="mark">
              <xsl:with-param name="code" select="normalize-space(Fluctuation)"/>
              <xsl:with-param name="withWord" select="false()"/>
            </xsl:call-template>
          </xsl:otherwise>
        </xsl:choose>
      </td>
    </tr>
    <!-- Under the row: why it has no count, else what it counts. -->
    <xsl:choose>
      <xsl:when test="@NoCount = '1' and $reason != ''">
        <tr class="sub"><td colspan="3"><div class="reason" title="{$reason}"><xsl:value-of select="$reason"/></div></td></tr>
      </xsl:when>
      <xsl:when test="not(@NoCount = '1') and $unit != ''">
        <tr class="sub"><td colspan="3"><div title="{$unit}"><xsl:value-of select="$unit"/></div></td></tr>
      </xsl:when>
    </xsl:choose>
  </xsl:template>

  <!-- Rise, fall or no change: 1 = higher than last time, 2 = lower, anything else = same. -->
  <xsl:template name="mark">
    <xsl:param name="code"/>
    <xsl:param name="withWord"/>
    <xsl:choose>
      <xsl:when test="$code = '1'">
        <span class="mark up" title="Higher than last time">▲</span>
        <xsl:if test="$withWord"><span class="word up">up</span></xsl:if>
      </xsl:when>
      <xsl:when test="$code = '2'">
        <span class="mark down" title="Lower than last time">▼</span>
        <xsl:if test="$withWord"><span class="word down">down</span></xsl:if>
      </xsl:when>
      <xsl:otherwise>
        <span class="mark same" title="Unchanged">=</span>
        <xsl:if test="$withWord"><span class="word same">no change</span></xsl:if>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- A count, or a dash when there is none. -->
  <xsl:template name="number">
    <xsl:param name="value"/>
    <xsl:choose>
      <xsl:when test="normalize-space($value) != ''">
        <xsl:value-of select="translate(normalize-space($value), '&lt;&gt;', '‹›')"/>
      </xsl:when>
      <xsl:otherwise>
        <span class="same">–</span>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="text">
    <xsl:param name="value"/>
    <xsl:value-of select="translate(normalize-space($value), '&lt;&gt;', '‹›')"/>
  </xsl:template>

</xsl:stylesheet>
