#!/usr/bin/env perl
# SPDX-License-Identifier: Apache-2.0
# Compares what each engine's query returned (out-query-ENGINE.tsv, see engine.sh) with the
# expected lines of the same case (query/CASE.csv, with a header line), line by line, so the
# order counts too: period, keys, count and n exactly; min, max, first and last as the same
# number (ClickHouse: within one unit in the last place, as its text reader reads some decimals
# such as -6.81 one unit off); the other aggregates within 1e-9 of the larger magnitude (at
# least 1); an empty field (NULL) only where one is expected. Usage: compare_query.pl WORK_DIR ENGINE... Prints one line
# per case and engine and the first differences; exits 1 on any mismatch.
use strict;
use warnings;

my ($work, @engines) = @ARGV;
my @cases = map { m{/([^/.]+)\.csv$} ? $1 : () } glob("$work/query/*.csv");
exit 0 unless @cases;

sub read_lines {
    my ($path) = @_;
    open(my $in, '<', $path) or die "compare_query.pl: cannot read $path: $!\n";
    chomp(my @lines = <$in>);
    return @lines;
}

# How a column is compared, by its name.
sub kind_of {
    my ($name, $index, $keys) = @_;
    return 'text' if $index <= $keys;
    return 'exact' if $name =~ /^(count|n_.*)$/;
    return 'number' if $name =~ /^(min|max|first|last)_/;
    return 'close';
}

sub same {
    my ($kind, $want, $got, $engine) = @_;
    $got = '' if $got eq '\N';
    return $want eq $got if $kind eq 'text' || $want eq '' || $got eq '';
    return $want == $got if $kind eq 'exact';
    return $want == $got || ($engine eq 'clickhouse' && abs($want - $got) <= 2.3e-16 * abs($want))
        if $kind eq 'number';
    my $scale = 1;
    $scale = abs($_) > $scale ? abs($_) : $scale for $want, $got;
    return abs($want - $got) <= 1e-9 * $scale;
}

my $failed = 0;
for my $engine (@engines) {
    # The engine's rows of each case, after its "#query CASE.DIALECT" line.
    my (%rows, $case);
    for my $line (read_lines("$work/out-query-$engine.tsv")) {
        if ($line =~ /^#query (\S+)$/) { $case = $1; $rows{$case} = []; next; }
        push @{$rows{$case}}, [split /\t/, $line, -1] if defined $case;
    }
    for my $name (@cases) {
        my @want = read_lines("$work/query/$name.csv");
        my @header = split /,/, shift @want;
        my $keys = (grep { $header[$_] eq 'count' || $header[$_] =~ /_/ } 0 .. $#header)[0] - 1;
        # Each engine runs the queries of the dialect of its name.
        my $label = "$name.$engine";
        my @got = @{$rows{$label} // []};
        my @differ;
        push @differ, "no result" unless $rows{$label};
        push @differ, "SQL gave " . @got . " lines, expected " . @want if @got != @want;
        for my $i (0 .. ($#want < $#got ? $#want : $#got)) {
            my @w = split /,/, $want[$i], -1;
            for my $c (0 .. $#header) {
                my ($a, $b) = ($w[$c] // '', $got[$i][$c] // '<none>');
                push @differ, "line " . ($i + 1) . " $header[$c]: expected '$a', SQL '$b'"
                    unless same(kind_of($header[$c], $c, $keys), $a, $b, $engine);
            }
        }
        my $what = "query $label on $engine: " . @want . " lines";
        $failed++ if @differ;
        print @differ ? "MISMATCH $what: " . @differ . " differences\n"
                      : "$what, " . @header . " columns: as expected\n";
        print "  $_\n" for grep defined, @differ[0 .. 5];
    }
}
exit($failed ? 1 : 0);
